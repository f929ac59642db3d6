#pragma once
// TDlgYakuzaiSel ("薬剤候補"): the chemical picker of the chemical tab. Eight pages of terms
// (trade names, product types, active ingredients, chemical groups, ISO names, sites of
// action, RAC codes, RAC classes), each narrowed by a row of buttons; OK writes the chosen
// term into the target edit (the ticked ingredients joined by blanks, so that the chemical
// search requires all of them). Page order, active page and size are kept in "WINDOW".
#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;
class TCheckListBoxEx;

class TDlgYakuzaiSel : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgYakuzaiSel(QWidget* Owner);
  ~TDlgYakuzaiSel() override;

  // Set by the opener: where the executed SQL is logged, and the edit OK writes into.
  std::function<void(const std::string&)> LogMemo;
  QLineEdit* Target = nullptr;
  // True while at least one ingredient of lstSeibun is ticked.
  bool SeibunChecked = false;

  QWidget* pnlButton = nullptr;
  QPushButton *btnOK = nullptr, *btnCancel = nullptr;
  QTabWidget* pgYakuzai = nullptr;
  QWidget *tabTsusho = nullptr, *tabShurui = nullptr, *tabSeibun = nullptr, *tabKeito = nullptr, *tabISO = nullptr,
          *tabSayoten = nullptr, *tabRac = nullptr, *tabRackeito = nullptr;
  QListWidget *lstTsusho = nullptr, *lstShurui = nullptr, *lstKeito = nullptr, *lstISO = nullptr,
              *lstSayoten = nullptr, *lstRac = nullptr, *lstRacKeito = nullptr;
  TCheckListBoxEx* lstSeibun = nullptr;
  QToolButton *btnKanji = nullptr, *btnAtoZ = nullptr, *btn0to9 = nullptr, *btnAll = nullptr,
              *btnFracGroup = nullptr;

  // The list of a page (nullptr for a page that is none of the eight).
  QListWidget* ListOfPage(const QWidget* Page) const;
  // The narrowing buttons, by their Tag.
  void btnTsushoClick(int Tag);   // kana rows 1..10, 11 kanji, 12 A..Z, 13 0..9, 14 all
  void btnShuruiClick(int Tag);   // 1..5
  void btnSeibunClick(int Tag);   // 1..5
  void btnKeitoClick(int Tag);    // 1..5
  void btnSayotenClick(int Tag);  // 1..4
  void btnRacClick(int Tag);      // 1..4
  void btnFracGroupClick();
  void btnRacKeitoClick(int Tag);  // 1..4
  // The text OK writes: the selected item of the active page's list, or the ticked
  // ingredients joined by blanks.
  std::string ChosenText() const;
  void btnOKClick();
  void done(int Result) override;

  // The reading pattern of a trade-name row button ("" for other tags).
  static std::string TsushoRowPattern(int Tag);
  // The queries of the narrowing buttons (exposed for the tests).
  static std::string ShuruiSql(int Tag);
  static std::string SeibunSql(int Tag);
  static std::string KeitoSql(int Tag);
  static std::string RacSql(const char* Column, int Tag);

  // Settings keys of the page positions, in page order.
  static const std::array<const char*, 8>& PageKeys();

 private:
  void BuildForm();
  QWidget* AddPage(const char* Name, const QString& Caption, QListWidget* List,
                   const std::vector<std::pair<QString, std::string>>& Buttons, int PerRow,
                   const std::function<void(int)>& OnTag);
  // Refills a list from the first column of a query (non-empty values, each once); a query
  // without rows leaves the list as it was. OK is disabled.
  void Refill(QListWidget* List, const std::string& SQL, bool Warn);
  void UpdateOK();
  void ReadSettings();
  void WriteSettings();
  std::vector<QWidget*> Pages() const;
  std::vector<QButtonGroup*> groups_;
  bool closed_ = false;
};
