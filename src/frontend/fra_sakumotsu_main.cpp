#include "frontend/fra_sakumotsu_main.h"

#include <QAction>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "frontend/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/search_tab.h"

int CropFrameImageSize(int BtnImageSize) {
  switch (BtnImageSize) {
    case 0: return 20;
    case 1: return 24;
    case 2: return 32;
    case 3: return 48;
    default: return 16;
  }
}

void actSakumotsuTekiyoExecute(TfrmMain& Main, const TfraSakumotsuBase& Frame) {
  if (Frame.Selection.empty()) return;
  if (Main.pgSearch && Main.pgSearch->currentIndex() == tiSakumotsu) {
    Main.actSearchTekiyouExecute();
    return;
  }
  if (!AcisDB) return;
  if (TSearchTabHandler* h = Main.SearchHandler(tiSakumotsu)) h->Search();
}

TfraSakumotsuBase* InstallCropFrame(TfrmMain& Main) {
  auto* fra = new TfraSakumotsuBase();
  QWidget* old = Main.fraSakumotsu;
  QSplitter* splitter = Main.SplitterFraSakumotsu;
  const int index = splitter && old ? splitter->indexOf(old) : -1;
  if (index >= 0) {
    splitter->replaceWidget(index, fra);
  } else if (splitter) {
    splitter->insertWidget(0, fra);
  }
  if (old) {
    old->hide();
    old->deleteLater();
  }
  Main.fraSakumotsu = fra;
  Main.pgSakumotsu = fra->pgSakumotsu;
  Main.eSakumotsu = fra->eSakumotsu;
  Main.eKinsetsuSakumotsu = fra->eKinsetsuSakumotsu;
  fra->setFont(Main.font());

  TfrmMain* main = &Main;
  fra->LogMemo = [main](const std::string& Line) { main->WriteLog(Line); };
  if (OptionData) fra->SetImageSize(CropFrameImageSize(OptionData->BtnImageSize));
  fra->LoadColumnWidths();

  auto fill = [fra] {
    if (!AcisDB) return;
    fra->BuildTree();
    fra->LoadSpecTables();
    fra->LoadCvoFamilies();
  };
  std::function<void()> previous = Main.OnLoadMasterLists;
  Main.OnLoadMasterLists = [previous, fill] {
    if (previous) previous();
    fill();
  };
  // A window whose database is open already.
  if (AcisDB) fill();

  QObject::connect(fra, &TfraSakumotsuBase::SelectionChanged, &Main, [main](bool CanSearch) {
    if (main->pgSearch && main->pgSearch->currentIndex() == tiSakumotsu && main->actSearchTekiyou)
      main->actSearchTekiyou->setEnabled(CanSearch && AcisDB != nullptr);
  });
  QObject::connect(fra, &TfraSakumotsuBase::SearchRequested, &Main,
                   [main, fra] { actSakumotsuTekiyoExecute(*main, *fra); });
  return fra;
}
