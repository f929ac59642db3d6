#pragma once
// The parts the two pest pickers (the template page's and the filter's "病害虫選択") build
// alike: the dialog frame, the splitter, the pest list pane under its filter row, and the
// crop search's list filling. Each picker keeps its own queries, controls and names.
#include <functional>
#include <string>

class QDialog;
class QHBoxLayout;
class QSplitter;
class QVBoxLayout;
class QWidget;
class TCheckListBoxEx;

// Names the dialog, gives it the caption "病害虫選択" and the owner window's font, and returns
// its main layout (margins and spacing 2).
QVBoxLayout* InitPestPickerFrame(QDialog* Dlg, QWidget* Owner, const char* ObjectName);

// The vertical splitter "Splitter1" of a picker: crop search above, pest list below; neither
// pane collapses.
QSplitter* NewPestPickerSplitter(QWidget* Parent);

// The pest list pane: the filter row "pnlFilter" above the pest list "lstByochu", added to
// Splitter as its growing lower pane. FillFilterRow makes the picker's own filter controls
// (children of pnlFilter, laid out in the row) before the list is made, so that the tab order
// runs from the filters to the list.
struct TPestListPane {
  QWidget* pnlFilter = nullptr;
  TCheckListBoxEx* lstByochu = nullptr;
};
TPestListPane AddPestListPane(QSplitter* Splitter, int FilterRowMargin,
                              const std::function<void(QWidget* pnlFilter, QHBoxLayout* Row)>& FillFilterRow);

// Replaces the crop list's items by the names SQL returns (each once, with the no-data warning),
// under the wait cursor and without item-change signals; an empty SQL empties the list.
void FillCropList(TCheckListBoxEx* List, const std::string& SQL);
