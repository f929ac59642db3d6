#pragma once
// The main window's export and look-up actions on the grid of the active tab: the spreadsheet
// copies, the CSV file, the text for mobile use, the result grid window, the use card, and the
// result grids' context menu with its look-ups, sending items and the public service's pages of
// a registration number.  Installed once on the window (InstallOutputActions).
#include <QObject>
#include <QString>

#include <functional>
#include <string>

#include "output/grid_popup_rules.h"
#include "output/result_page.h"

class QAction;
class TfrmGrid;
class TfrmMain;
class TXlsStringGrid;

class TMainOutputActions : public QObject {
  Q_OBJECT

 public:
  explicit TMainOutputActions(TfrmMain& Main);

  // ---- the actions ----
  void actCopyExcelExecute();
  void actCopyJustCalcExecute();
  void actCsvSaveExecute();
  void actCopyMobileExecute();
  // Creates the result grid window for the active tab's grid (only when that grid shows).
  TfrmGrid* actExportGridExecute();
  // The HTML routes: the page of the active tab into the view (-1) or into the spreadsheet
  // program of a kind through the view.
  void HtmlRoute(QAction* Action, int Route);

  // ---- the result grids' context menu ----
  // Prepares the menu for a cell of a grid (Row -1: none; 0: the title row).
  void mnTekiyouGridPopup(TXlsStringGrid* Grid, int Col, int Row);
  TGridPopupPlan Plan;
  QAction *actCopyMobile = nullptr, *pmnCopyExcel = nullptr, *pmnSendToTabYakuzai = nullptr,
          *pmnSendToSql = nullptr, *pmnGoogleChuiJiko = nullptr, *pmnNoukaWebSearch = nullptr,
          *pmnGoogleChuijikoOption = nullptr, *pmnGoogleKonyo = nullptr, *pmnWeblio = nullptr,
          *pmnGoogleFfcr = nullptr, *pmnNihsSearch = nullptr, *pmnPrdbSearch = nullptr, *pmnFcgr = nullptr,
          *pmnGene = nullptr, *pmnPestControlSite = nullptr, *pmnTourokuTblDown = nullptr, *pmnDokuseiDown = nullptr;

  // The last column of the active grid whose title is Header; -1 when none.
  int FindColumnByHeader(const std::string& Header) const;
  // The general name of an ingredient abbreviation (bound query; the last row found wins; the
  // abbreviation itself when there is none).
  static std::string GeneralNameOf(const std::string& Kanryaku);

  // The HTML view (shows a page, or sends it to the program of a kind; the window's HTML view
  // by default); the HTML routes are enabled only with one.
  std::function<void(QWidget* Owner, const TResultPage& Page, const QString& Caption, int Route)> HtmlView;
  // Applies the enabling rules of these actions (after TfrmMain::EnableResultActions).
  void EnableActions(bool Enabled);
  // The route the grid menu's spreadsheet item runs: that of the stored kind.
  QAction* MenuSpreadsheetRoute() const;

 private:
  void BuildMenuItems();
  // The button carries Action from now on (shown through Usable).
  void SetSpreadsheetButton(QAction* Action);
  void ShowButtonRoute();
  // Action, or the automation route standing in for an HTML route while the view is missing.
  QAction* Usable(QAction* Action) const;
  // The result page of the active tab's grid (with the product panel on the chemical tab).
  TResultPage BuildResultHtml(const std::string& CssFile, int Kind) const;
  TfrmMain& m_;
  bool enabled_ = false;
  QAction* buttonRoute_ = nullptr;  // the route last used (or the stored kind's at start-up)
};

// The route of each stored spreadsheet kind (TOptionData::SpreadSheet), one table for the tool
// bar's button at start-up and the grid menu's item; null for a kind outside 0..3.
QAction* SpreadsheetRoute(const TfrmMain& Main, int Kind);

TMainOutputActions* InstallOutputActions(TfrmMain& Main);
// The installed actions of a window (null before InstallOutputActions).
TMainOutputActions* OutputActionsOf(TfrmMain& Main);
