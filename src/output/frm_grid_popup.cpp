// The grid window's context menus: what they offer for the cell under the mouse (the shared
// rules of grid_popup_rules.h) and the look-ups their items run.
#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "output/frm_grid.h"
#include "output/web_lookup.h"

namespace {

void Apply(QAction* a, const TPopupItem& item, bool enabled) {
  a->setVisible(item.Visible);
  if (item.Visible) a->setText(QString::fromStdString(MenuCaptionText(item.Caption)));
  a->setEnabled(enabled);
}

}  // namespace

void TfrmGrid::BuildMenus() {
  pmnGrid = new QMenu(this);
  pmnGrid->setObjectName("pmnGrid");
  auto item = [this](QMenu* m, const char* name, const QString& caption) {
    QAction* a = m->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  pmnGrid->addAction(actCopy);
  pmnGrid->addAction(actSendToTabYakuzai);
  pmnGrid->addAction(actGoogle);
  pmnGoogleChuijiko = item(pmnGrid, "pmnGoogleChuijiko", "使用上の注意事項をGoogleで検索");
  pmnGoogleChuiJikoOption = item(pmnGrid, "pmnGoogleChuiJikoOption", "つまみ菜、間引き菜での使用可否をGoogleで検索");
  pmnGoogleKonyo = item(pmnGrid, "pmnGoogleKonyo", "混用事例をGoogleで検索");
  pmnNoukaWebSearch = item(pmnGrid, "pmnNoukaWebSearch", "農家Webで検索");
  pmnGrid->addAction(actWeblio);
  pmnGrid->addAction(actGoogleFfcr);
  pmnGrid->addAction(actSearchNihs);
  pmnGrid->addAction(actFcgr);
  pmnPrdbSearch = item(pmnGrid, "pmnPrdbSearch", "日本食品衛生学会残留農薬基準値データベースで検索");
  pmnGene = item(pmnGrid, "pmnGene", "Googleで農業生物資源サイト内検索");
  pmnPestControlSite = item(pmnGrid, "pmnPestControlSite", "Googleで病害虫防除情報サイト内検索");
  pmnGrid->addSeparator();
  pmnGrid->addAction(actFixedCol);
  pmnGrid->addAction(actFixedColOff);
  pmnGrid->addSeparator();
  pmnGrid->addAction(actDeleteCol);
  pmnGrid->addAction(actDeleteRow);

  pmnGridSeibun = new QMenu(this);
  pmnGridSeibun->setObjectName("pmnGridSeibun");
  pmnGridSeibun->addAction(actGridSeibunCopy);
  pmnGridSeibun->addAction(actGridSeibunCopyALL);
  pmnGoogleGridSeibun = item(pmnGridSeibun, "pmnGoogleGridSeibun", "Google で検索");
  pmnPrdbGridSeibun = item(pmnGridSeibun, "pmnPrdbGridSeibun", "日本食品衛生学会残留農薬基準値データベースで検索");
  pmnFcgrGridSeibun = item(pmnGridSeibun, "pmnFcgrGridSeibun", "Google(フジテレビ商品研究所サイト内)で検索");
  pmnWeblioGridSeibun = item(pmnGridSeibun, "pmnWeblioGridSeibun", "Weblio で検索");
  pmnFfcrGridSeibun = item(pmnGridSeibun, "pmnFfcrGridSeibun", "Googleで Ffcrサイト内検索");
  pmnNihsGridSeibun = item(pmnGridSeibun, "pmnNihsGridSeibun", "Google でNihsサイト内検索");

  // The look-ups run on the text their item was prepared with.
  auto look = [this](QAction* a, TPopupItem TGridPopupPlan::*member, void (*run)(QWidget*, const std::string&)) {
    connect(a, &QAction::triggered, this, [this, member, run] {
      const TPopupItem& it = Plan.*member;
      if (it.Visible && WebLookupsOnline()) run(this, it.Keyword);
    });
  };
  look(actGoogle, &TGridPopupPlan::GoogleTekiyo, &WebSearch);
  look(pmnGoogleChuijiko, &TGridPopupPlan::GoogleChuiJiko, &WebSearch);
  look(pmnGoogleChuiJikoOption, &TGridPopupPlan::GoogleChuijikoOption, &WebSearch);
  look(pmnGoogleKonyo, &TGridPopupPlan::GoogleKonyo, &WebSearch);
  look(pmnNoukaWebSearch, &TGridPopupPlan::NoukaWeb, &SearchNoukaWeb);
  look(actWeblio, &TGridPopupPlan::Weblio, &SearchWeblio);
  look(actFcgr, &TGridPopupPlan::Fcgr, &SearchFcgrSite);
  look(pmnPrdbSearch, &TGridPopupPlan::Prdb, &SearchPrdb);
  look(pmnGene, &TGridPopupPlan::Gene, &SearchGeneSite);
  look(pmnPestControlSite, &TGridPopupPlan::PestControlSite, &SearchPestControlSite);
  look(actGoogleFfcr, &TGridPopupPlan::GoogleFfcr, &SearchFfcrSite);
  look(actSearchNihs, &TGridPopupPlan::Nihs, &SearchNihs);
  connect(actSendToTabYakuzai, &QAction::triggered, this, [this] {
    const TPopupItem& it = Plan.SendToTabYakuzai;
    if (!it.Visible || !SendToTabYakuzai) return;
    if (eYakuzaiG) eYakuzaiG->setText(QString::fromStdString(it.Keyword));
    SendToTabYakuzai(it.Keyword, Plan.SendToBango);
  });
  auto lookSeibun = [this](QAction* a, TPopupItem TSeibunPopupPlan::*member,
                           void (*run)(QWidget*, const std::string&)) {
    connect(a, &QAction::triggered, this, [this, member, run] {
      const TPopupItem& it = SeibunPlan.*member;
      if (it.Visible && WebLookupsOnline()) run(this, it.Keyword);
    });
  };
  lookSeibun(pmnGoogleGridSeibun, &TSeibunPopupPlan::Google, &WebSearch);
  lookSeibun(pmnWeblioGridSeibun, &TSeibunPopupPlan::Weblio, &SearchWeblio);
  lookSeibun(pmnFcgrGridSeibun, &TSeibunPopupPlan::Fcgr, &SearchFcgrSite);
  lookSeibun(pmnPrdbGridSeibun, &TSeibunPopupPlan::Prdb, &SearchPrdb);

  connect(gdResult, &TXlsStringGrid::MenuRequested, this, [this](int col, int row, const QPoint& at) {
    PreparePopup(col, row);
    pmnGrid->exec(at);
  });
  connect(gdSeibun, &TXlsStringGrid::MenuRequested, this, [this](int col, int row, const QPoint& at) {
    PrepareSeibunPopup(col, row);
    pmnGridSeibun->exec(at);
  });
  // Copy and row removal are the window's Ctrl+C and Ctrl+X too: whatever the menu made of
  // them for its cell, they are back once it has closed.
  connect(pmnGrid, &QMenu::aboutToHide, this, [this] {
    actCopy->setEnabled(true);
    actDeleteRow->setVisible(true);
  });
  connect(pmnGridSeibun, &QMenu::aboutToHide, this, [this] { actGridSeibunCopy->setEnabled(true); });
}

void TfrmGrid::PreparePopup(int col, int row) {
  TXlsStringGrid* g = gdResult;
  MouseCol = col;
  MouseRow = row;
  TGridPopupInput in;
  in.HasCell = row >= 0 && col >= 0 && col < g->ColCount() && row < g->RowCount();
  in.TitleRow = in.HasCell && row < g->FixedRows();
  in.GridWindow = true;
  in.Online = WebLookupsOnline();
  if (in.HasCell) {
    in.Text = g->Cells(col, row);
    in.Header = g->Cells(col, 0);
    in.FirstHeader = g->Cells(0, 0);
    in.FirstCell = g->Cells(0, row);
    const int cropCol = g->Model().ColumnOfTitle("作物名");
    in.Crop = cropCol >= 0 ? g->Cells(cropCol, row) : std::string();
    if (!in.TitleRow && in.Header == "適用病害虫雑草名" && AcisDB) in.PestClass = AcisDB->GetByochuCid(in.Text);
    if (!in.TitleRow && IsIngredientTitle(in.Header)) in.IsoName = IsoDisplayName(in.Text);
  }
  PopupText = in.Text;
  Plan = PlanGridPopup(in);
  const bool web = Plan.WebEnabled;

  actCopy->setEnabled(Plan.DataCell);
  actDeleteRow->setVisible(Plan.DataCell);
  for (QAction* a : {actDeleteCol, actFixedCol, actFixedColOff}) a->setVisible(!Plan.DataCell);
  Apply(actGoogle, Plan.GoogleTekiyo, web);
  Apply(actSendToTabYakuzai, Plan.SendToTabYakuzai, true);
  if (!SendToTabYakuzai) actSendToTabYakuzai->setVisible(false);
  Apply(pmnGoogleChuijiko, Plan.GoogleChuiJiko, web);
  Apply(pmnGoogleChuiJikoOption, Plan.GoogleChuijikoOption, web);
  Apply(pmnGoogleKonyo, Plan.GoogleKonyo, web);
  Apply(pmnNoukaWebSearch, Plan.NoukaWeb, web);
  Apply(actWeblio, Plan.Weblio, web);
  Apply(actFcgr, Plan.Fcgr, web);
  Apply(pmnPrdbSearch, Plan.Prdb, web);
  Apply(pmnGene, Plan.Gene, web);
  Apply(pmnPestControlSite, Plan.PestControlSite, web);
  Apply(actGoogleFfcr, Plan.GoogleFfcr, web);
  Apply(actSearchNihs, Plan.Nihs, web);
}

void TfrmGrid::PrepareSeibunPopup(int col, int row) {
  TXlsStringGrid* g = gdSeibun;
  SeibunMouseCol = col;
  SeibunMouseRow = row;
  TGridPopupInput in;
  in.HasCell = row >= 0 && col >= 0 && col < g->ColCount() && row < g->RowCount();
  in.TitleRow = in.HasCell && row < g->FixedRows();
  in.Online = WebLookupsOnline();
  if (in.HasCell) {
    in.Text = g->Cells(col, row);
    in.Header = g->Cells(col, 0);
    if (!in.TitleRow) in.IsoName = IsoDisplayName(in.Text);
  }
  SeibunPlan = PlanSeibunPopup(in);
  const bool web = SeibunPlan.WebEnabled;
  actGridSeibunCopy->setEnabled(SeibunPlan.DataCell);
  Apply(pmnGoogleGridSeibun, SeibunPlan.Google, web);
  Apply(pmnWeblioGridSeibun, SeibunPlan.Weblio, web);
  Apply(pmnFcgrGridSeibun, SeibunPlan.Fcgr, web);
  Apply(pmnPrdbGridSeibun, SeibunPlan.Prdb, web);
  pmnFfcrGridSeibun->setVisible(false);
  pmnNihsGridSeibun->setVisible(false);
}
