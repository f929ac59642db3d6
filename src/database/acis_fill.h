#pragma once
// Query results into lists, combo boxes and grids.
//
// The fills of TAcisDB write into a TItemListTarget (a combo box or list box seen through its
// item list) and into a TGridFillTarget (the result grid model), so the data part works and is
// tested without widgets.  TQtComboItems and TQtListItems adapt the Qt controls.
//
// Grid content is held in a TGridData: the column titles and every cell as text in one block
// of memory, so a result of 40,000 rows costs a few allocations, not one widget item per cell.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QListWidget;
class TAcisDB;
class TSQLiteTbl;

// Holds the current result of a database object while a loop reads it and lets window
// messages run between rows: a handler that queries through the same object meanwhile
// replaces FTbl, but never frees the rows being read.  When the hold ends they are the current
// result again (at the row the loop left), so the caller sees the cursor it filled from.
// Pass Only to hold the current result only when it is that table (a caller's own table is
// left alone).
class TAcisCursorHold {
 public:
  explicit TAcisCursorHold(TAcisDB& Db, const TSQLiteTbl* Only = nullptr);
  ~TAcisCursorHold();
  TAcisCursorHold(const TAcisCursorHold&) = delete;
  TAcisCursorHold& operator=(const TAcisCursorHold&) = delete;
  TSQLiteTbl* get() const { return FHeld.get(); }
  TSQLiteTbl* operator->() const { return FHeld.get(); }
  explicit operator bool() const { return FHeld != nullptr; }

 private:
  TAcisDB& FDb;
  std::unique_ptr<TSQLiteTbl> FHeld;
};

// The item list of a combo box or list box.
class TItemListTarget {
 public:
  virtual ~TItemListTarget() = default;
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  virtual void Clear() = 0;
  virtual void Add(const std::string& Text) = 0;
  virtual int Count() const = 0;
  virtual std::string Item(int Index) const = 0;
};

// A plain list of texts (tests, tools).
class TStringItems : public TItemListTarget {
 public:
  std::vector<std::string> Items;
  int Updates = 0;  // BeginUpdate/EndUpdate pairs seen
  void BeginUpdate() override { ++Updates; }
  void Clear() override { Items.clear(); }
  void Add(const std::string& Text) override { Items.push_back(Text); }
  int Count() const override { return static_cast<int>(Items.size()); }
  std::string Item(int Index) const override { return Items.at(static_cast<size_t>(Index)); }
};

// Qt controls (QComboBox, QListWidget).  Items added between BeginUpdate and EndUpdate reach
// the control in one call, which does not repaint meanwhile.
template <class TControl>
class TQtItems : public TItemListTarget {
 public:
  explicit TQtItems(TControl* Control) : FControl(Control) {}
  ~TQtItems() override;
  void BeginUpdate() override;
  void EndUpdate() override;
  void Clear() override;
  void Add(const std::string& Text) override;
  int Count() const override;
  std::string Item(int Index) const override;

 private:
  void Flush();
  TControl* FControl;
  int FDepth = 0;
  std::vector<std::string> FPending;
};
using TQtComboItems = TQtItems<QComboBox>;
using TQtListItems = TQtItems<QListWidget>;
extern template class TQtItems<QComboBox>;
extern template class TQtItems<QListWidget>;

// Column titles and cells of a grid as text; row 0 of the grid is the title row.
class TGridData {
 public:
  int RowCount() const { return FRows; }  // data rows (without the title row)
  int ColCount() const { return static_cast<int>(FTitles.size()); }
  const std::vector<std::string>& Titles() const { return FTitles; }
  std::string_view Cell(int Row, int Col) const;  // data row 0.., column 0..; "" outside
  size_t MemoryUsed() const;

  // The rows of Tbl from its current row to its end (its row is left where it was).  NULL
  // shows as an empty cell; integers and floats as the cursor formats them.  Breathe, when
  // set, is called after each row.
  static TGridData FromTable(TSQLiteTbl& Tbl, std::vector<std::string> Titles,
                             const std::function<void()>& Breathe = nullptr);

 private:
  std::vector<std::string> FTitles;
  int FRows = 0;
  std::string FArena;
  std::vector<uint32_t> FEnds;  // end offset of every cell, row-major
};

// The result grid as SetGrid sees it.  The grid model (the export grid) implements this.
class TGridFillTarget {
 public:
  virtual ~TGridFillTarget() = default;
  // Component name of the grid ("gdSeizai" titles dokusei "製剤毒性").
  virtual std::string GridName() const = 0;
  // Hide the grid and stop repainting.
  virtual void BeginFill() {}
  // The new content: one fixed title row, no fixed column, one row per data row.
  virtual void SetData(TGridData Data) = 0;
  // Repaint again; the grid stays hidden: the caller fits the columns and shows it.
  virtual void EndFill() {}
};

// Holds what it was given (tests, tools, benchmarks).
class TGridDataTarget : public TGridFillTarget {
 public:
  explicit TGridDataTarget(std::string Name = "gdTekiyo") : FName(std::move(Name)) {}
  std::string GridName() const override { return FName; }
  void BeginFill() override { ++Fills; Visible = false; }
  void SetData(TGridData D) override { Data = std::move(D); }
  TGridData Data;
  int Fills = 0;
  bool Visible = true;

 private:
  std::string FName;
};

// Registration-number items: "%5d" + " " + name.
std::string BangoItem(int64_t Bango, std::string_view Name);
// The number of an item: the digits up to the first blank after the leading blanks ("" when
// the item is shorter than six characters), so numbers of six digits and more read right too.
std::string BangoOfItem(std::string_view Item);
// The name of an item: the text after the blank that follows the number ("" when the item is
// shorter than six characters).
std::string NameOfItem(std::string_view Item);

// The ISO name with the general name in brackets when they differ, else the general name
// (uses the global AcisDB; the general name when there is none).
std::string IsoDisplayName(const std::string& Ippanmei);
