// The chemical tab on the full-size sample register, in the main window (offscreen):
//  1. a click on a trade name to its product sheet shown (the product combo, the sheet's
//     summary, caution, ingredients and uses, and the related-product lists), for trade names
//     spread over the register; beside it the sheet alone and, as baseline, the same queries
//     read raw (GetTable, no widgets);
//  2. the pickup that fills the two product lists with several thousand items (a keyword that
//     every product holds, and a crop group alone); beside it the raw SQL of the pickup and
//     the bare QListWidget fill of the same texts.
// Goals: click to sheet < 100 ms; pickup filling 5,000 list items < 100 ms.
//
// usage: bench_chemical_tab [DBDIR]
// DBDIR holds acis.db and spec.db built from the full-size register; by default
// <build>/data-full-db, generated (tools/gen_sample) and built on first use.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_full_db.h"
#include "bench_stats.h"
#include "database/acis_fill.h"
#include "foundation/global.h"
#include "foundation/message_sink.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/chemical/product_sheet.h"
#include "frontend/chemical/yakuzai_sql.h"
#include "frontend/frm_main.h"

namespace {

// Every row of a query read as text (the baseline of the widget work).
long ReadRaw(const std::string& sql) {
  auto t = AcisDB->FDb->GetTable(sql);
  long cells = 0;
  for (; !t->Eof(); t->Next())
    for (int c = 0; c < t->ColCount(); ++c) cells += static_cast<long>(t->Fields(c).size() > 0);
  return cells;
}

// The queries a trade-name click runs, read raw.
void RawClick(const std::string& tsusho, int64_t bango) {
  TProductKey key;
  key.Tsusho = tsusho;
  ReadRaw(ProductsOfTsushoSql(tsusho));
  ReadRaw(SeizaiSql(bango));
  ReadRaw(SuisanSql(bango));
  ReadRaw(SeibunGridSql(bango));
  ReadRaw(SeibunSlotsSql(bango));
  ReadRaw(TekiyoGridSql(bango, false, {}));
  for (const char* col : {"ifnullstr(seibun,ippanmei)", "keito", "sayoten", "mid", "RAC系統"})
    ReadRaw(KihonValuesSql(col, key));
}

std::string First(const std::string& sql) {
  auto t = AcisDB->FDb->GetTable(sql);
  return t->Count() ? t->Fields(0) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  TLogMessageSink sink([](const std::string&) {});
  TScopedMessageSink scoped(&sink);
  const std::string dbDir = FullDbDir(argc, argv);
  if (!EnsureFullDb(dbDir)) return 1;

  QTemporaryDir appDir;
  InitGlobals(appDir.path().toStdString() + "/");
  TfrmMain w;
  w.resize(1200, 800);
  TAcisDBSettings settings = FullDbSettings(dbDir);
  settings.DownloadDir = appDir.path().toStdString();
  AcisDB = std::make_unique<TAcisDB>(dbDir + "/acis.db", settings);
  AcisDB->CreateSessionViews();
  TChemicalSearch* cs = InstallChemicalSearch(w);
  w.LoadMasterLists();
  w.show();
  w.pgSearch->setCurrentIndex(tiYakuzai);
  QCoreApplication::processEvents();
  bool ok = true;

  // ---- 1. trade name to sheet ----
  w.eYakuzai->setText("剤");
  w.eYakuzaiTabSakumotsu->clear();
  cs->YakuzaiPickup();
  QListWidget* list = w.lstTsusho;
  const int names = list->count();
  std::vector<double> click, sheet, raw;
  const int samples = 40;
  for (int i = 0; i < samples && names > 0; ++i) {
    const int row = static_cast<int>(static_cast<long>(i) * names / samples);
    list->setCurrentRow(row);
    const std::string t = list->currentItem()->text().toStdString();
    cs->LastListItem.clear();
    double t0 = Now();
    cs->lstTsushoClick();
    QCoreApplication::processEvents();
    click.push_back(Now() - t0);
    const int64_t bango = cs->Sheet->ShownBango();
    t0 = Now();
    cs->Sheet->YakuzaiSelect(bango);
    QCoreApplication::processEvents();
    sheet.push_back(Now() - t0);
    t0 = Now();
    RawClick(t, bango);
    raw.push_back(Now() - t0);
  }
  const double goalClick = 100;
  const bool clickMet = !click.empty() && Median(click) * 1000 < goalClick;
  ok = ok && clickMet;
  std::printf("trade name to product sheet (%zu names of %d)\n", click.size(), names);
  std::printf("  %-34s median %7.1f ms  max %7.1f ms   goal < %.0f ms %s\n", "click to sheet and related lists",
              Median(click) * 1000, *std::max_element(click.begin(), click.end()) * 1000, goalClick,
              clickMet ? "met" : "MISSED");
  std::printf("  %-34s median %7.1f ms  max %7.1f ms\n", "sheet alone (YakuzaiSelect)", Median(sheet) * 1000,
              *std::max_element(sheet.begin(), sheet.end()) * 1000);
  std::printf("  %-34s median %7.1f ms  max %7.1f ms   (baseline)\n", "the same queries read raw",
              Median(raw) * 1000, *std::max_element(raw.begin(), raw.end()) * 1000);

  // ---- 2. pickups filling the lists ----
  struct TCase {
    const char* label;
    const char* yakuzai;
    const char* crops;
  };
  const std::string group = First(
      "SELECT m.sakumotsu FROM m_sakumotsu m JOIN m_tekiyo t USING(sakumotsu) GROUP BY m.sakumotsu ORDER BY "
      "count(DISTINCT t.bango) DESC LIMIT 1");
  const TCase cases[] = {
      {"keyword of every product", "剤", ""}, {"one formulation", "水和剤", ""}, {"crop alone", "", group.c_str()}};
  const double goalPickup = 100;
  std::printf("\npickup filling the product lists (goal < %.0f ms for 5,000 items; crops, tables and lists are the\n"
              "pickup's own figures from its start)\n", goalPickup);
  std::printf("  %-26s %-10s %7s %7s %10s %9s %9s %9s %12s %12s\n", "case", "crop", "names", "numbers", "pickup ms",
              "crops ms", "tables ms", "lists ms", "raw SQL ms", "bare fill ms");
  for (const TCase& c : cases) {
    w.eYakuzai->setText(QString::fromUtf8(c.yakuzai));
    w.eYakuzaiTabSakumotsu->setText(QString::fromUtf8(c.crops));
    double crops = 1e9, tables = 1e9, lists = 1e9;
    const double pickup = BestTime(3, [&] {
      cs->CropTextResolved = false;
      cs->YakuzaiPickup();
      QCoreApplication::processEvents();
      crops = std::min(crops, cs->LastCropSeconds);
      tables = std::min(tables, cs->LastScriptSeconds);
      lists = std::min(lists, cs->LastListSeconds);
    });
    const int items = w.lstTsusho->count() + w.lstBango->count();
    const double rawSql = BestTime(3, [&] {
      ReadRaw(YakuTsushoSql());
      ReadRaw(YakuBangoSql());
    });
    QStringList texts;
    for (QListWidget* l : {w.lstTsusho, w.lstBango})
      for (int i = 0; i < l->count(); ++i) texts << l->item(i)->text();
    QListWidget bare;
    const double fill = BestTime(3, [&] {
      bare.clear();
      bare.addItems(texts);
    });
    const bool met = pickup * 1000 < goalPickup;
    ok = ok && met;
    std::printf("  %-26s %-10s %7d %7d %10.1f %9.1f %9.1f %9.1f %12.1f %12.1f   %d items %s\n", c.label, c.crops,
                w.lstTsusho->count(), w.lstBango->count(), pickup * 1000, crops * 1000, tables * 1000, lists * 1000,
                rawSql * 1000, fill * 1000, items, met ? "met" : "MISSED");
  }
  return ok ? 0 : 2;
}
