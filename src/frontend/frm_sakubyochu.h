#pragma once
// The pest (or purpose) filter picker "病害虫選択" / "使用目的選択": the user ticks entries of
// the list the opener hands over, may narrow that list by pest class and order it, and may
// replace it by the pests registered for crops found by a crop-name search inside the
// picker. The ticked entries come back as comma text after the picker closed.
#include <QDialog>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QWidget;
class TCheckListBoxEx;

class TfrmSakuByochu : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmSakuByochu(QWidget* Owner);

  QSplitter* Splitter1 = nullptr;  // crop search above, pick list below
  QWidget* Panel2 = nullptr;       // the crop search
  QLabel* Label1 = nullptr;
  QLineEdit* edtInput = nullptr;
  TCheckListBoxEx* lstSakumotu = nullptr;
  QWidget* pnlFilter = nullptr;  // class and order
  QComboBox* cboCID = nullptr;
  QComboBox* cboSort = nullptr;
  TCheckListBoxEx* lstByochu = nullptr;
  QCheckBox* ckAll = nullptr;
  QPushButton *btnCheckAll = nullptr, *btnClearAll = nullptr, *btnOk = nullptr, *btnCancel = nullptr;

  // The opener's list (one entry per line): the pick list at start and for the class "全て".
  void SetSourceList(const std::vector<std::string>& Items);
  // Hides the crop search (the crop tab's pickers work on the result's own list).
  void HideCropSearch();
  // Ticks exactly the entries named in the comma text (or filter text) Text, read as the
  // pest filter reads it (WordList).
  void CheckNames(const std::string& Text);
  // The ticked entries when the picker closed, as comma text (names with blanks quoted, so
  // the filter's word list reads each back whole).
  std::string GetCheckedByochu() const;
  const std::vector<std::string>& Result() const { return result_; }

  // Handlers.
  void SearchSakumotsu();        // Enter in edtInput, the re-search button
  void lstSakumotuClickCheck();  // a crop ticked or unticked
  void cboCIDChange();
  void cboSortChange();
  void ckAllClick();
  void CheckAll(bool On);

  void done(int Result) override;

 protected:
  // Enter in the crop search box searches instead of confirming the picker.
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  // Fills lstByochu from a query (each name once) when it returns rows; else the list stays.
  bool FillByochu(const std::string& SQL);
  void SetByochuItems(const std::vector<std::string>& Items);
  std::string OrderEnding() const;
  std::vector<std::string> source_;
  std::vector<std::string> result_;
  // Ticked entries that a class or crop choice took out of the list; ticked again when they
  // come back.
  std::set<std::string> hiddenTicks_;
};
