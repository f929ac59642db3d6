#include "frontend/main_output_actions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

#include "database/acis_db.h"
#include "database/acis_fill.h"
#include "database/sqlite_db.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "foundation/text_utils.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/frm_main.h"
#include "output/dlg_tekiyou_card.h"
#include "output/acis_post_lookup.h"
#include "output/frm_grid.h"
#include "output/html_view_route.h"
#include "output/spreadsheet_export.h"
#include "output/web_lookup.h"
#include "output/xls_string_grid.h"

namespace {

// A menu caption holding a cell's text.
QString Caption(const std::string& text) { return QString::fromStdString(MenuCaptionText(text)); }

void Apply(QAction* a, const TPopupItem& item, bool enabled) {
  a->setVisible(item.Visible);
  if (item.Visible) a->setText(Caption(item.Caption));
  a->setEnabled(enabled);
}

}  // namespace

TMainOutputActions::TMainOutputActions(TfrmMain& Main) : QObject(&Main), m_(Main) {
  setObjectName("OutputActions");
  TfrmMain* m = &Main;
  connect(m_.actCopyExcel, &QAction::triggered, this, &TMainOutputActions::actCopyExcelExecute);
  connect(m_.actCopyJustCalc, &QAction::triggered, this, &TMainOutputActions::actCopyJustCalcExecute);
  connect(m_.actCsvSave, &QAction::triggered, this, &TMainOutputActions::actCsvSaveExecute);
  connect(m_.actExportGrid, &QAction::triggered, this, [this] { actExportGridExecute(); });
  connect(m_.actHtmlSave, &QAction::triggered, this, [this] { HtmlRoute(nullptr, -1); });
  connect(m_.actCopyExcelByHTML, &QAction::triggered, this, [this] { HtmlRoute(m_.actCopyExcelByHTML, sskExcel); });
  connect(m_.actCopyOOoCalc, &QAction::triggered, this, [this] { HtmlRoute(m_.actCopyOOoCalc, sskCalc); });
  connect(m_.actCopyWPS, &QAction::triggered, this, [this] { HtmlRoute(m_.actCopyWPS, sskKingsoft); });
  connect(m_.actCopyJustCalcByHTML, &QAction::triggered, this,
          [this] { HtmlRoute(m_.actCopyJustCalcByHTML, sskJustCalc); });

  actCopyMobile = new QAction("携帯向けテキストをコピー", &Main);
  actCopyMobile->setObjectName("actCopyMobile");
  Main.addAction(actCopyMobile);
  connect(actCopyMobile, &QAction::triggered, this, &TMainOutputActions::actCopyMobileExecute);
  if (QMenu* edit = Main.findChild<QMenu*>("mnEdit")) edit->addAction(actCopyMobile);

  // The use card of the main window's grids.
  Main.OnOpenUseCard = [m](TXlsStringGrid* grid, int row) { OpenUseCard(m, grid, row); };

  HtmlView = [](QWidget* owner, const TResultPage& page, const QString& caption, int route) {
    RunHtmlViewRoute(owner, page, caption, route);
  };
  BuildMenuItems();
  pmnCopyExcel->setText(MenuSpreadsheetRoute()->text());
  // The button keeps the route the window gave it from the stored kind.
  SetSpreadsheetButton(m_.btnExcel->defaultAction() ? m_.btnExcel->defaultAction() : m_.actCopyExcelByHTML);
  EnableActions(false);
}

// ---------------------------------------------------------------------------------------------
// Enabling

void TMainOutputActions::EnableActions(bool Enabled) {
  enabled_ = Enabled;
  const bool html = Enabled && static_cast<bool>(HtmlView);
  for (QAction* a : {m_.actCopyExcelByHTML, m_.actCopyOOoCalc, m_.actCopyWPS, m_.actCopyJustCalcByHTML, m_.actHtmlSave})
    a->setEnabled(html);
  actCopyMobile->setEnabled(Enabled);
  for (QAction* a : {m_.actCopyExcel, m_.actCopyJustCalc, m_.actCsvSave, m_.actExportGrid}) a->setEnabled(Enabled);
  // A new result leaves the button on its route.
  ShowButtonRoute();
  m_.btnExcel->setEnabled(Enabled);
}

QAction* SpreadsheetRoute(const TfrmMain& Main, int Kind) {
  switch (Kind) {
    case sskExcel: return Main.actCopyExcelByHTML;
    case sskCalc: return Main.actCopyOOoCalc;
    case sskKingsoft: return Main.actCopyWPS;
    case sskJustCalc: return Main.actCopyJustCalcByHTML;
    default: return nullptr;
  }
}

QAction* TMainOutputActions::Usable(QAction* Action) const {
  if (HtmlView || Action == m_.actCopyExcel || Action == m_.actCopyJustCalc) return Action;
  // Without the HTML view its routes are not there: the program's automation route stands in.
  return Action == m_.actCopyJustCalcByHTML ? m_.actCopyJustCalc : m_.actCopyExcel;
}

QAction* TMainOutputActions::MenuSpreadsheetRoute() const {
  QAction* a = SpreadsheetRoute(m_, OptionData ? OptionData->SpreadSheet : 0);
  return Usable(a ? a : m_.actCopyExcelByHTML);
}

void TMainOutputActions::SetSpreadsheetButton(QAction* Action) {
  buttonRoute_ = Action;
  ShowButtonRoute();
}

void TMainOutputActions::ShowButtonRoute() {
  QAction* shown = Usable(buttonRoute_);
  if (m_.btnExcel->defaultAction() != shown) m_.btnExcel->setDefaultAction(shown);
  if (shown == m_.actCopyOOoCalc) m_.btnExcel->setText("Calc出力");
}

// ---------------------------------------------------------------------------------------------
// Spreadsheet copies, CSV, mobile text

void TMainOutputActions::actCopyExcelExecute() {
  SetSpreadsheetButton(m_.actCopyExcel);
  if (OptionData) OptionData->SpreadSheet = 0;
  if (m_.GridVisible(m_.CurrentGrid)) CopyGridToSpreadsheet(*m_.CurrentGrid, sskExcel);
}

void TMainOutputActions::actCopyJustCalcExecute() {
  SetSpreadsheetButton(m_.actCopyJustCalc);
  if (OptionData) OptionData->SpreadSheet = 3;
  if (m_.GridVisible(m_.CurrentGrid)) CopyGridToSpreadsheet(*m_.CurrentGrid, sskJustCalc);
}

void TMainOutputActions::actCsvSaveExecute() {
  TXlsStringGrid* g = m_.CurrentGrid;
  if (!g) return;
  TSaveDialogPos dlg;
  dlg.InitialDir = QString::fromStdString(GetSpecialFolderPath(CSIDL_PERSONAL));
  dlg.DefaultExt = "csv";
  dlg.Filter = "CSVﾌｧｲﾙ(*.csv)|*.csv|ﾃｷｽﾄ (*.txt)|*.txt";
  dlg.OverwritePrompt = true;
  if (!dlg.Execute(&m_)) return;
  g->CSVFileName = dlg.FileName.toStdString();
  g->ColumnName = true;
  // A failure is reported by the grid; the chosen file is only ever replaced whole.
  const bool shown = g->ShowErrDlg;
  g->ShowErrDlg = true;
  g->SetCommaText();
  g->ShowErrDlg = shown;
}

void TMainOutputActions::actCopyMobileExecute() {
  TXlsStringGrid* g = m_.CurrentGrid;
  if (!g || g->RowCount() <= g->FixedRows()) return;
  std::string text;
  int left, top, right, bottom;
  if (g->SelectionRect(left, top, right, bottom) && (left != right || top != bottom)) {
    for (int r = top; r <= bottom; ++r) {
      for (int c = left; c <= right; ++c) {
        if (c < right && g->ColWidths(c) <= 0) continue;
        text += g->Cells(c, r) + "\r\n";
      }
      text += "---------\r\n";
    }
  } else {
    text = g->Row() >= g->FixedRows() ? g->Cells(std::max(g->Col(), 0), g->Row()) : m_.PopupCellText.toStdString();
  }
  QApplication::clipboard()->setText(QString::fromStdString(ZenToHan(text)));
}

// ---------------------------------------------------------------------------------------------
// Result grid window

TfrmGrid* TMainOutputActions::actExportGridExecute() {
  TXlsStringGrid* src = m_.CurrentGrid;
  if (!m_.GridVisible(src)) return nullptr;
  auto* w = new TfrmGrid(&m_);
  const int tab = m_.pgSearch->currentIndex();
  QString caption;
  switch (tab) {
    case tiSakumotsu:
      caption = "Quillmar - " + (m_.eSakumotsu ? m_.eSakumotsu->text() : QString()) + " " + m_.cbByochu->currentText();
      w->SourceTab = 0;
      w->SetHighlightWords(m_.KinsetsuSelection.toStdString());
      break;
    case tiByochu:
      caption = "Quillmar - " + m_.edtByochu->text();
      w->SourceTab = 1;
      break;
    case tiYakuzai: {
      caption = "Quillmar - " + m_.cbYakuzai->currentText();
      w->SourceTab = 2;
      w->SetGrid(*m_.gdSeibun, 1);
      w->SetGrid(*m_.gdSeizai, 2);
      w->pnlYakuzai->show();
      w->edtYakuzai->setText(m_.cbYakuzai->currentText());
      w->mSuisan->setPlainText(m_.mSuisan->toPlainText());
      // As on the product sheet: without a caution there is no empty box beside the summary.
      w->mSuisan->setVisible(!w->mSuisan->toPlainText().isEmpty());
      break;
    }
    case tiTemplate:
      caption = "Quillmar - 定型処理";
      w->SourceTab = 3;
      break;
    default:
      caption = "Quillmar - SQL";
      w->SourceTab = 4;
      break;
  }
  w->setWindowTitle(caption);
  w->eYakuzaiG = m_.eYakuzai;
  TfrmMain* m = &m_;
  w->SendToTabYakuzai = [m](const std::string& keyword, bool bango) {
    auto* chem = dynamic_cast<TChemicalSearch*>(m->SearchHandler(tiYakuzai));
    if (!chem) return;
    m->PopupKeyword = QString::fromStdString(keyword);
    m->SendToListPage = bango ? m->tabBango : m->tabTsusho;
    chem->pmnSendToTabYakuzaiClick();
  };
  if (HtmlView) {
    auto view = HtmlView;
    w->HtmlView = [view](TfrmGrid& owner, const TResultPage& page, const QString& cap, int route) {
      view(&owner, page, cap, route);
    };
    w->EnableHtmlActions();
  }
  w->SetGrid(*src, 0);
  w->show();
  if (w->SourceTab == 2) {
    // The window stacks what the main window puts side by side (product, ingredients,
    // caution): the ingredients as tall as there, the summary and the caution as wide.
    const QList<int> side = m_.SplitterSeizai ? m_.SplitterSeizai->sizes() : QList<int>();
    w->FitProductPanel(m_.gdSeibun->height(), side.size() == 3 ? side[0] : 0, side.size() == 3 ? side[2] : 0);
  }
  return w;
}

// ---------------------------------------------------------------------------------------------
// HTML routes

TResultPage TMainOutputActions::BuildResultHtml(const std::string& CssFile, int Kind) const {
  TResultPageSource src;
  src.Grid = &m_.CurrentGrid->Model();
  src.UpdateText = AcisDB ? AcisDB->FLastUpdate : std::string();
  const int tab = m_.pgSearch->currentIndex();
  src.MarkNeighbours = tab == tiSakumotsu;
  TResultPageProduct product;
  if (tab == tiYakuzai) {
    product = ResultPageProduct(m_.cbYakuzai->currentText().toStdString(), m_.gdSeizai->Model(),
                                &m_.gdSeibun->Model(), m_.mSuisan->toPlainText().toStdString());
    src.Product = &product;
  }
  return BuildResultPage(src, CssFile, static_cast<TSpreadSheetKind>(std::max(Kind, 0)));
}

void TMainOutputActions::HtmlRoute(QAction* Action, int Route) {
  if (!HtmlView || !m_.CurrentGrid) return;
  if (Action) {
    SetSpreadsheetButton(Action);
    if (OptionData) OptionData->SpreadSheet = static_cast<std::uint8_t>(Route);
    if (Action == m_.actCopyOOoCalc && !m_.GridVisible(m_.CurrentGrid)) return;
  }
  const std::string css = !OptionData ? std::string()
                          : Route < 0 ? OptionData->CssFile
                                      : OptionData->CssDir + "/" + OptionData->ExportssCssFile;
  TResultPage page;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    page = BuildResultHtml(css, Route);
    QApplication::restoreOverrideCursor();
  }
  if (!page.Ok) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", page.Error);
    return;
  }
  HtmlView(&m_, page, m_.windowTitle() + "(HTML)", Route);
}

// ---------------------------------------------------------------------------------------------
// The result grids' context menu

void TMainOutputActions::BuildMenuItems() {
  QMenu* menu = m_.mnTekiyouGrid;
  auto item = [this, menu](const char* name, const QString& caption, QAction* before) {
    auto* a = new QAction(caption, menu);
    a->setObjectName(QString::fromLatin1(name));
    menu->insertAction(before, a);
    return a;
  };
  // The spreadsheet item runs the route of the stored kind, whatever the button carries.
  pmnCopyExcel = item("pmnCopyExcel", m_.actCopyExcel->text(), m_.actCopyExcel);
  menu->removeAction(m_.actCopyExcel);
  connect(pmnCopyExcel, &QAction::triggered, this, [this] {
    if (QAction* a = MenuSpreadsheetRoute(); a->isEnabled()) a->trigger();
  });
  // The look-ups around the general search, in their menu order.
  const QList<QAction*> all = menu->actions();
  const qsizetype at = all.indexOf(m_.pmnGoogleTekiyo);
  QAction* after = at >= 0 && at + 1 < all.size() ? all[at + 1] : nullptr;
  pmnSendToTabYakuzai = item("pmnSendToTabYakuzai", "薬剤タブで検索", m_.pmnGoogleTekiyo);
  pmnSendToSql = item("pmnSendToSql", "SQLタブで検索(&S)", m_.pmnGoogleTekiyo);
  pmnGoogleChuiJiko = item("pmnGoogleChuiJiko", "使用上の注意事項をGoogleで検索", after);
  pmnNoukaWebSearch = item("pmnNoukaWebSearch", "農家Webで検索", after);
  pmnNoukaWebSearch->setVisible(false);
  pmnNoukaWebSearch->setEnabled(false);
  pmnGoogleChuijikoOption = item("pmnGoogleChuijikoOption", "つまみ菜、間引き菜での使用可否をGoogleで検索", after);
  pmnGoogleKonyo = item("pmnGoogleKonyo", "混用事例をGoogleで検索", after);
  pmnWeblio = item("pmnWeblio", "Weblio で検索", after);
  pmnGoogleFfcr = item("pmnGoogleFfcr", "Googleで Ffcrサイト内検索", after);
  pmnNihsSearch = item("pmnNihsSearch", "Google でNihsサイト内検索", after);
  pmnPrdbSearch = item("pmnPrdbSearch", "日本食品衛生学会残留農薬基準値データベースで検索(&N)", after);
  pmnFcgr = item("pmnFcgr", "Google(フジテレビ商品研究所サイト内)で検索", after);
  pmnGene = item("pmnGene", "Googleで農業生物資源サイト内検索", after);
  pmnPestControlSite = item("pmnPestControlSite", "Googleで病害虫防除情報サイト内検索", after);
  pmnTourokuTblDown = item("pmnTourokuTblDown", "登録内容を農薬登録情報提供システムで表示", after);
  pmnDokuseiDown = item("pmnDokuseiDown", "製剤毒性を農薬登録情報提供システムで表示", after);

  auto look = [this](QAction* a, TPopupItem TGridPopupPlan::*member, void (*run)(QWidget*, const std::string&)) {
    connect(a, &QAction::triggered, this, [this, member, run] {
      const TPopupItem& it = Plan.*member;
      if (!it.Visible || !WebLookupsOnline()) return;
      m_.PopupKeyword = QString::fromStdString(it.Keyword);
      run(&m_, it.Keyword);
    });
  };
  look(m_.pmnGoogleTekiyo, &TGridPopupPlan::GoogleTekiyo, &WebSearch);
  look(pmnGoogleChuiJiko, &TGridPopupPlan::GoogleChuiJiko, &WebSearch);
  look(pmnGoogleChuijikoOption, &TGridPopupPlan::GoogleChuijikoOption, &WebSearch);
  look(pmnGoogleKonyo, &TGridPopupPlan::GoogleKonyo, &WebSearch);
  look(pmnWeblio, &TGridPopupPlan::Weblio, &SearchWeblio);
  look(pmnFcgr, &TGridPopupPlan::Fcgr, &SearchFcgrSite);
  look(pmnPrdbSearch, &TGridPopupPlan::Prdb, &SearchPrdb);
  look(pmnGene, &TGridPopupPlan::Gene, &SearchGeneSite);
  look(pmnPestControlSite, &TGridPopupPlan::PestControlSite, &SearchPestControlSite);
  look(pmnGoogleFfcr, &TGridPopupPlan::GoogleFfcr, &SearchFfcrSite);
  look(pmnNihsSearch, &TGridPopupPlan::Nihs, &SearchNihs);
  connect(pmnSendToTabYakuzai, &QAction::triggered, this, [this] {
    auto* chem = dynamic_cast<TChemicalSearch*>(m_.SearchHandler(tiYakuzai));
    if (!Plan.SendToTabYakuzai.Visible || !chem) return;
    m_.PopupKeyword = QString::fromStdString(Plan.SendToTabYakuzai.Keyword);
    m_.SendToListPage = Plan.SendToBango ? m_.tabBango : m_.tabTsusho;
    chem->pmnSendToTabYakuzaiClick();
  });
  // The service's own pages for a registration number, posted into an HTML view.
  auto post = [this](QAction* a, TAcisPostLookup kind) {
    connect(a, &QAction::triggered, this, [this, kind] {
      if (!Plan.DataCell || !WebLookupsOnline() || !m_.CurrentGrid) return;
      std::string name;
      if (kind == TAcisPostLookup::Dokusei) {
        const int col = FindColumnByHeader("農薬の名称");
        if (col >= 0) name = m_.CurrentGrid->Cells(col, m_.MouseRow);
      }
      OpenAcisPostLookup(&m_, kind, m_.PopupCellText.toStdString(), name, m_.windowTitle());
    });
  };
  post(pmnTourokuTblDown, TAcisPostLookup::TourokuTbl);
  post(pmnDokuseiDown, TAcisPostLookup::Dokusei);
  connect(pmnSendToSql, &QAction::triggered, this, [this] {
    if (!Plan.SendToSql.Visible) return;
    m_.PopupCellText = QString::fromStdString(Plan.SendToSql.Keyword);
    m_.pmnSendToSqlClick();
  });

  // The cell the menu was asked for (the grid's right button or menu key).
  connect(menu, &QMenu::aboutToShow, this, [this] {
    if (TXlsStringGrid* g = m_.MenuGrid ? m_.MenuGrid : m_.CurrentGrid) mnTekiyouGridPopup(g, m_.MouseCol, m_.MouseRow);
  });
  // Copy and row removal are the window's Ctrl+C and Ctrl+X too: back to their usual state once
  // the menu is gone, whatever it made of them for its cell.
  connect(menu, &QMenu::aboutToHide, this, [this] {
    m_.actGridCopy->setEnabled(enabled_);
    m_.pmnRemoveRow->setVisible(true);
  });
}

std::string TMainOutputActions::GeneralNameOf(const std::string& Kanryaku) {
  if (!AcisDB || !AcisDB->FDb) return Kanryaku;
  std::string name = Kanryaku;
  try {
    auto t = AcisDB->FDb->GetTableBound("select ippanmei from tSeibun where kanryaku = ?1", {Kanryaku});
    for (; !t->Eof(); t->Next()) name = t->FieldAsString(0);
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "");
  }
  return name;
}

int TMainOutputActions::FindColumnByHeader(const std::string& Header) const {
  const TXlsStringGrid* g = m_.CurrentGrid;
  if (!g) return -1;
  for (int c = g->ColCount() - 1; c >= 0; --c)
    if (g->Cells(c, 0) == Header) return c;
  return -1;
}

void TMainOutputActions::mnTekiyouGridPopup(TXlsStringGrid* Grid, int Col, int Row) {
  if (!Grid) return;
  m_.MouseCol = Col;
  m_.MouseRow = Row;
  m_.PopupKeyword.clear();
  m_.pmnRemoveClm->setVisible(false);
  m_.pmnRemoveRow->setVisible(false);

  TGridPopupInput in;
  in.HasCell = Row >= 0 && Col >= 0 && Col < Grid->ColCount() && Row < Grid->RowCount();
  in.TitleRow = in.HasCell && Row < Grid->FixedRows();
  in.Online = WebLookupsOnline();
  if (in.HasCell && !in.TitleRow) {
    in.Text = Grid->Cells(Col, Row);
    in.Header = Grid->Cells(Col, 0);
    in.FirstHeader = Grid->Cells(0, 0);
    in.FirstCell = Grid->Cells(0, Row);
    const int cropCol = Grid->Model().ColumnOfTitle("作物名");
    in.Crop = cropCol >= 0 ? Grid->Cells(cropCol, Row) : std::string();
    // Ingredients: the general name for an abbreviation, or the name without its bracket.
    if (IsIngredientTitle(in.Header)) {
      if (m_.SeibunView == 0) {
        in.Text = GeneralNameOf(in.Text);
      } else if (m_.SeibunView == 1) {
        const size_t open = in.Text.find(" [");
        const size_t close = open == std::string::npos ? open : in.Text.find(']', open);
        if (close != std::string::npos) in.Text.erase(open, close - open + 1);
      }
      in.IsoName = IsoDisplayName(in.Text);
    }
    if (in.Header == "適用病害虫雑草名" && AcisDB) in.PestClass = AcisDB->GetByochuCid(in.Text);
    m_.PopupCellText = QString::fromStdString(in.Text);
    m_.PopupHeader = QString::fromStdString(in.Header);
  }
  Plan = PlanGridPopup(in);

  m_.actGridCopy->setEnabled(Plan.DataCell);
  m_.pmnFixedClm->setEnabled(in.HasCell);
  m_.pmnFixedClmOff->setEnabled(in.HasCell);
  if (in.TitleRow) {
    m_.pmnRemoveClm->setVisible(true);
    m_.pmnRemoveClm->setText("列削除(&D)");
  }
  if (Plan.DataCell) {
    m_.pmnRemoveRow->setVisible(true);
    m_.pmnRemoveRow->setText("行削除(&D)");
    m_.PopupKeyword = QString::fromStdString(in.Text);
  }
  QAction* route = MenuSpreadsheetRoute();
  pmnCopyExcel->setText(route->text());
  pmnCopyExcel->setIcon(route->icon());
  pmnCopyExcel->setEnabled(enabled_ && route->isEnabled());
  const bool web = Plan.WebEnabled;
  Apply(m_.pmnGoogleTekiyo, Plan.GoogleTekiyo, web);
  Apply(pmnSendToTabYakuzai, Plan.SendToTabYakuzai, true);
  if (!m_.SearchHandler(tiYakuzai)) pmnSendToTabYakuzai->setVisible(false);
  Apply(pmnSendToSql, Plan.SendToSql, true);
  Apply(pmnGoogleChuiJiko, Plan.GoogleChuiJiko, web);
  Apply(pmnGoogleChuijikoOption, Plan.GoogleChuijikoOption, web);
  Apply(pmnGoogleKonyo, Plan.GoogleKonyo, web);
  pmnNoukaWebSearch->setVisible(false);
  Apply(pmnWeblio, Plan.Weblio, web);
  Apply(pmnFcgr, Plan.Fcgr, web);
  Apply(pmnPrdbSearch, Plan.Prdb, web);
  Apply(pmnGene, Plan.Gene, web);
  Apply(pmnPestControlSite, Plan.PestControlSite, web);
  Apply(pmnGoogleFfcr, Plan.GoogleFfcr, web);
  Apply(pmnNihsSearch, Plan.Nihs, web);
  // A registration number: the service's registration table and formulation toxicity.
  const bool number = Plan.DataCell && in.Header == "番号" && !in.Text.empty();
  for (QAction* a : {pmnTourokuTblDown, pmnDokuseiDown}) {
    a->setVisible(number);
    a->setEnabled(web);
  }
  if (number) {
    pmnTourokuTblDown->setText(Caption("登録番号「" + in.Text + "」の登録内容を農薬登録情報提供システムで表示"));
    pmnDokuseiDown->setText(Caption("登録番号「" + in.Text + "」の製剤毒性を農薬登録情報提供システムで表示"));
  }
}

// ---------------------------------------------------------------------------------------------

TMainOutputActions* InstallOutputActions(TfrmMain& Main) {
  if (TMainOutputActions* a = OutputActionsOf(Main)) return a;
  auto* a = new TMainOutputActions(Main);
  auto previous = Main.OnEnableResultActions;
  Main.OnEnableResultActions = [a, previous](bool on) {
    if (previous) previous(on);
    a->EnableActions(on);
  };
  a->EnableActions(Main.actExportGrid->isEnabled());
  return a;
}

TMainOutputActions* OutputActionsOf(TfrmMain& Main) { return Main.findChild<TMainOutputActions*>("OutputActions"); }
