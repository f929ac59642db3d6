#pragma once
// Printing a result page without the web engine: its headings, paragraphs and tables are read
// from the page's markup and drawn on the printer page by page, scaled so that the widest table
// fits the paper's width, with a table's title rows repeated at the top of every page it spans.
//
// The engine lays out and paints every page of a print in its page process at once, which
// for a result of some thousand rows needs gigabytes and more memory mappings than a desktop
// allows; the drawn print needs a few bytes per cell and its text stays text in a PDF.
#include <QPageLayout>
#include <QString>

#include <string>
#include <vector>

class QPrinter;

struct TDrawnBlock {
  enum TKind { Heading, Paragraph, Table };
  TKind Kind = Paragraph;
  int Level = 0;  // headings: 1 to 6
  QString Text;   // headings and paragraphs (lines separated by '\n')
  struct TRow {
    std::vector<QString> Cells;
    bool Header = false;      // a title row (th cells, or class "header"): repeated on every page
    bool Neighbour = false;   // class "neighbors": tinted as the grid tints it
  };
  std::vector<TRow> Rows;  // tables
};

struct TDrawnPage {
  std::vector<TDrawnBlock> Blocks;
  size_t CellCount() const;
};

// The page's printable content, from its markup (a whole page or its body): headings (h1-h6),
// paragraphs and the rows of its tables, with entities and "<br>" resolved.  Scripts, style
// sheets and the head are left out.
TDrawnPage ReadDrawnPage(const std::string& html);

// The width the page takes drawn at full size on `printer`, in points.
double DrawnPageWidth(const TDrawnPage& page, QPrinter* printer);

// Draws the page on `printer` (already set up with its paper and output), at `zoom` (1: full
// size; less to fit a wide table on the paper).  False when the printer could not be started.
bool DrawPage(const TDrawnPage& page, QPrinter* printer, double zoom);
