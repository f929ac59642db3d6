#pragma once
// The crop filter picker of the pest tab "作物選択": the crops of the pest result
// ttTekiyoByochu, narrowed by the crop hierarchy (levels 0 to 2) and ordered by code or
// reading; the ticked crops come back as comma text after the picker closed. Uses whose crop
// is an exclusion ("...を除く") are never offered.
#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;
class TCheckListBoxEx;

class TfrmTabByochuSaku : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmTabByochuSaku(QWidget* Owner);

  QComboBox *cbLevel0 = nullptr, *cbLevel1 = nullptr, *cbLevel2 = nullptr;
  QComboBox* cbOrder = nullptr;  // "ID順", "読み順"
  TCheckListBoxEx* lstSakumotsu = nullptr;
  QCheckBox* ckAll = nullptr;
  QPushButton *btnOk = nullptr, *btnCancel = nullptr;

  // The code prefix of the chosen levels (two digits per level; "00" for a name not found).
  const std::string& Prefix() const { return prefix_; }
  std::string GetCheckedSakumotsu() const;
  const std::vector<std::string>& Result() const { return result_; }

  // Every crop of the result and the level-0 groups; the lower levels emptied.
  void ShowAllLevels();
  void cbLevel0Change();
  void cbLevel1Change();
  void cbLevel2Change();
  void cbOrderChange();
  void ckAllClick();

  void done(int Result) override;

 private:
  std::string OrderColumn() const;
  // The crops of ttTekiyoByochu under the current prefix.
  void ShowCropsOfPrefix();
  // Refills a level combo ("全て" first) from a query; enabled exactly when it holds entries.
  void FillLevel(QComboBox* Combo, const std::string& SQL);
  // The two digits of a level's crop name ("00" when not found).
  std::string LevelDigits(int Level, const std::string& Name, int From);
  void SetCrops(const std::vector<std::string>& Names);

  std::string prefix_;
  std::string prefix0_, prefix1_;
  std::vector<std::string> result_;
};
