#pragma once
// The chemical search of the main window's chemical tab ("薬剤"): products found by a trade
// name, a registration number (or a range of numbers) or keywords, optionally restricted to
// the products registered on candidate crops and to one use. The side panel lists them by
// trade name (lstTsusho) and by number (lstBango); choosing one opens the product sheet and
// fills the six lists of related products (same ingredient, group, site of action, RAC code,
// all of several ingredients, RAC class).
//
// TChemicalSearch is the tab's search handler of the main window (InstallChemicalSearch); the
// operations keep the names the rest of the program knows them by.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frontend/search_tab.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QWidget;
class TCheckListBoxEx;
class TDlgYakuzaiSel;
class TfrmMain;
class TProductSheet;
enum TRelatedKind : int;

class TChemicalSearch : public QObject, public TSearchTabHandler {
  Q_OBJECT

 public:
  explicit TChemicalSearch(TfrmMain& Main);
  ~TChemicalSearch() override;

  // ---- controls of the related-product pages (built here) ----
  QComboBox *cbSeibun = nullptr, *cbYakuzaiTabKeito = nullptr, *cbSayoten = nullptr, *cbRac = nullptr,
            *cbRacKeito = nullptr;
  QListWidget *lstTsushoSeibun = nullptr, *lstTsushoKeito = nullptr, *lstSayoten = nullptr, *lstRac = nullptr,
              *lstTsushoSeibunPlural = nullptr, *lstRacKeito = nullptr;
  TCheckListBoxEx* lstSeibunPluralCk = nullptr;
  QMenu* pmnYakuzaiListbox = nullptr;
  TProductSheet* Sheet = nullptr;

  // ---- state ----
  // The crop edit holds crop names chosen in the picker or already looked up.
  bool CropTextResolved = false;
  // Comma list of the crop names of the last pickup (the sheet narrows its uses to them).
  std::string CandidateCropNames;
  // Text of the list item whose product was shown last.
  std::string LastListItem;
  // t_bango restricts the products (a crop text was in force at the last pickup).
  bool Restricted() const { return restricted_; }

  // ---- operations ----
  void YakuzaiPickup();
  static bool IsBangoInput(const std::string& Text);
  std::string MakeYakuzaiWhere(const std::string& Text) const;
  std::string YotoCondition() const;
  // Re-creates t_bango for a crop expression (empty: no restriction) and its crop names.
  bool MakeBangoTable(const std::string& Regexp, const std::vector<std::string>& CropNames);
  void lstTsushoClick();
  void lstBangoClick();
  void MakeSeibunTablesByTsusho(const std::string& Tsusho);
  void MakeSeibunTablesByBango(int64_t Bango);
  void cbSeibunChange();
  void cbYakuzaiTabKeitoChange();
  void cbSayotenChange();
  void cbRacChange();
  void cbRacKeitoChange();
  void lstSeibunPluralCkClickCheck();
  // A click in one of the six related lists.
  void RelatedListClick(QListWidget* List);
  void cbYotoTabYakuzaiChange();
  // A keyword from a result grid: the pickup for it, its first product opened on the page.
  void pmnSendToTabYakuzaiClick();
  void bYakuzaiTabSakuSelClick();
  void btnYakuzaiSelClick();
  // Empties lstTsusho, lstBango, the selectors and the related lists.
  void ClearLists();
  // A database was opened in place of another (a data update): the lists built on the old
  // connection's working tables are rebuilt by the pickup, or emptied without candidates.
  void DatabaseReplaced();
  // The chemical picker's user (tests set a function that plays it; the default runs it).
  std::function<int(TDlgYakuzaiSel&)> RunYakuzaiPicker;

  // Runs a script of several statements with multi-statement mode on; a failure (shown by
  // the database object) leaves no transaction open.
  static bool RunScript(const std::string& Script);

  // ---- TSearchTabHandler ----
  void Search() override { YakuzaiPickup(); }
  void ClearConditions() override;
  void EnableInputs(bool Enabled) override;
  // A chemical or a crop candidate typed.
  bool CanSearch() const override;

  // Pickups that reached the product query, and the figures of the last one (seconds from
  // its start): crops looked up, working tables made, lists filled.
  int PickupCount = 0;
  double LastCropSeconds = 0, LastScriptSeconds = 0, LastListSeconds = 0;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void BuildRelatedPages();
  void BuildListPopup();
  void ConnectControls();
  void RunClick(QListWidget* List);
  void FillRelated(bool ByBango, const std::string& Tsusho, int64_t Bango);
  void FillSelector(QComboBox* Combo, const std::string& SQL);
  void SelectorChange(QComboBox* Combo, QListWidget* List, TRelatedKind Kind);
  void FillTsushoList(QListWidget* List, const std::string& SQL, bool Warn);
  void EditChanged(QLineEdit* Edit);
  void SetRestriction(bool On, const std::vector<std::string>& Crops);
  bool IsKeyHeld(const QListWidget* List) const;

  TfrmMain& m_;
  bool restricted_ = false;
  bool picking_ = false;
  // Per list: a key is held (the row when it went down).
  std::map<const QListWidget*, int> keyDownRow_;
};

// Creates the chemical search and the product sheet, binds them to the chemical tab's
// controls and installs the search as the tab's handler (owned by the window).
TChemicalSearch* InstallChemicalSearch(TfrmMain& Main);
