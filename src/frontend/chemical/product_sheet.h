#pragma once
// The product sheet of the chemical tab: for one registration number the summary grid
// gdSeizai (type, formulation toxicity, registration date, applicant, formulation, use), the
// aquatic caution mSuisan, the ingredient grid gdSeibun and the registered uses gdYakuzai
// (narrowed to the candidate crops of the last pickup), with the per-ingredient count
// headers. Above them the product combo cbYakuzai between the look-up label lblGoogle and
// the count label LabelCount.
//
// Every part of the sheet belongs to the product shown: a product without a summary row or
// without a caution shows empty values or no caution, never those of the previous product,
// and no message box is raised for it.
#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPoint;
class QWidget;
class TfrmMain;
class TXlsStringGrid;

class TProductSheet : public QObject {
  Q_OBJECT

 public:
  // Builds the product row (in the place of the window's placeholder pnlYakuzaiSelect) and
  // binds the sheet's grids.
  explicit TProductSheet(TfrmMain& Main);
  ~TProductSheet() override;

  QWidget* pnlYakuzaiSelect = nullptr;
  QLabel *lblGoogle = nullptr, *LabelCount = nullptr;
  QComboBox* cbYakuzai = nullptr;
  QMenu* pmnGridSeibun = nullptr;
  QAction *pmnGoogleGridSeibun = nullptr, *pmnWeblioGridSeibun = nullptr, *pmnPrdbGridSeibun = nullptr,
          *pmnFcgrGridSeibun = nullptr, *pmnNihsGridSeibun = nullptr, *pmnGoogleFfcrGridSeibun = nullptr,
          *actGridSeibunCopyALL = nullptr, *pmnSeibunFixedClm = nullptr, *NpmnSeibunFixedClmOff = nullptr;

  // The crop restriction of the last pickup (t_bango in force) and its crop names.
  bool Restricted = false;
  std::vector<std::string> CandidateCrops;

  // Builds the sheet for a registration number.
  void YakuzaiSelect(int64_t Bango);
  // Fills cbYakuzai with the products of a query (number, name), shows the count followed
  // by "剤" and opens the sheet of one of them: the item with the shortest text (on equal
  // length the later one) when PickShortest is set, else the first. Returns the count.
  int ShowProducts(const std::string& SQL, bool PickShortest);
  // One product item ("%5d" number, blank, name) as the combo's only item, and its sheet.
  void ShowSingleProduct(const std::string& Item);
  // The count headers of the uses grid for the five ingredient slots of a product.
  std::vector<std::string> KaisuHeaders(int64_t Bango);
  // The number of the product shown last (0 before the first).
  int64_t ShownBango() const { return shown_; }
  // The web search of the name part of the product item.
  void txtGoogleClick();
  // The ingredient grid's popup at a viewport point (items by the column header).
  void pmnGridSeibunPopup(int col, int row);  // the cell the menu is for (row -1: none)
  // Caption and state of lblGoogle for the current product item and offline mode.
  void UpdateGoogleLabel(bool HaveProduct);

 private:
  void BuildProductRow();
  void BuildSeibunPopup();
  void FitSeizaiColumns();
  void SetSummary(const std::vector<std::string>& Values);
  void ShowCaution(int64_t Bango);
  void ShowSeibun(int64_t Bango);
  void ShowUses(int64_t Bango);
  void SetDropDownWidth();
  bool eventFilter(QObject* Watched, QEvent* Event) override;

  TfrmMain& m_;
  QObject* seizai_ = nullptr;
  int64_t shown_ = 0;
  std::string cellText_;  // the ingredient cell of the last popup
};

// The summary rows' captions (column 0 of gdSeizai).
const std::vector<std::string>& SeizaiCaptions();
// True while look-ups may go out (neither the OffLine option nor the "/f" flag).
bool LookupsOnline();
