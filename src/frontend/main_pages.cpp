#include "frontend/main_pages.h"

#include <QAction>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <memory>
#include <algorithm>

#include "database/acis_db.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/options.h"
#include "frontend/chemical/chemical_search.h"
#include "frontend/console/frm_template.h"
#include "frontend/console/sql_console.h"
#include "frontend/crop/crop_search.h"
#include "frontend/crop/fra_sakumotsu_base.h"
#include "frontend/frm_main.h"
#include "frontend/main_dialogs.h"
#include "frontend/main_output_actions.h"
#include "frontend/pest/pest_search.h"

void InstallSearchPages(TfrmMain& Main) {
  TfrmMain* m = &Main;

  // The options dialog and the about box.
  InstallOptionAndAboutDialogs(Main);

  // The SQL console on the SQL tab (its table list is filled first when a database opens).
  InstallSqlConsole(Main);
  // The template page on the template tab.
  InstallTemplatePage(Main);

  // The crop-selection frame in the place of the crop tab's placeholder.
  auto* frame = new TfraSakumotsuBase;
  frame->setFont(Main.font());
  frame->LogMemo = [m](const std::string& line) { m->WriteLog(line); };
  Main.fraSakumotsu = Main.ReplaceControl(Main.fraSakumotsu, frame);
  Main.pgSakumotsu = frame->pgSakumotsu;
  Main.eSakumotsu = frame->eSakumotsu;
  Main.eKinsetsuSakumotsu = frame->eKinsetsuSakumotsu;
  if (Main.pgSakumotsu) Main.pgSakumotsu->setCurrentIndex(0);  // always opens on its first page
  frame->LoadColumnWidths();
  // Without a stored width the frame opens wide enough for all its page tabs.
  if (OptionData && !TIniFile(OptionData->IniFileName).ValueExists(SECTION_WINDOW, "TabSakumotsuFraSakumotsuWidth"))
    Main.SetPaneSize(frame, std::max(Main.PaneSize(frame), frame->pgSakumotsu->tabBar()->sizeHint().width() + 6));

  // The crop search reads the frame's texts.
  TCropSearch* search = InstallCropSearch(Main);
  search->SelectionText = [frame] { return QString::fromStdString(frame->Selection); };
  search->KinsetsuText = [frame] { return QString::fromStdString(frame->Kinsetsu); };
  search->SelectionAdded = [frame] { return frame->SelectionAdded; };
  search->KinsetsuAdded = [frame] { return frame->KinsetsuAdded; };
  search->UpdateFrameCommands = [frame] { frame->UpdateCommands(); };
  search->ClearFrameSelection = [frame] { frame->ClearSelection(); };
  // Automatic searches run once the input waiting in the queue has been taken in: ticks made
  // while a search runs (held back until it ends) or several in one go give one search on the
  // selection as it then stands, not one search after another.
  auto searchQueued = std::make_shared<bool>(false);
  QObject::connect(frame, &TfraSakumotsuBase::SearchRequested, m, [m, searchQueued] {
    if (*searchQueued) return;
    *searchQueued = true;
    QTimer::singleShot(0, m, [m, searchQueued] {
      *searchQueued = false;
      if (m->pgSearch->currentIndex() == tiSakumotsu) m->actSearchTekiyouExecute();
    });
  });
  QObject::connect(frame, &TfraSakumotsuBase::SelectionChanged, m, [m] { m->UpdateSearchAction(); });

  // The pest tab's top row and search in the place of the placeholder row.
  InstallPestSearch(Main);

  // The chemical search, its related-product lists and the product sheet on the chemical tab.
  InstallChemicalSearch(Main);

  // The export and look-up actions, the result grid window and the use card.
  InstallOutputActions(Main);

  // Lists filled when a database is opened; column widths kept at close.
  auto previousLoad = Main.OnLoadMasterLists;
  Main.OnLoadMasterLists = [m, frame, previousLoad] {
    if (previousLoad) previousLoad();
    frame->BuildTree();
    frame->LoadSpecTables();
    frame->LoadCvoFamilies();
    // A result on show came from the database just replaced (a data update): its working
    // table went with the old connection, so its filters would find nothing.  The search runs
    // again on the new data for the crops chosen.
    // The handler is asked for now, not kept from the installation: it may have been replaced.
    auto* crop = dynamic_cast<TCropSearch*>(m->SearchHandler(tiSakumotsu));
    if (crop && !m->gdTekiyo->isHidden() && !frame->Selection.empty()) crop->SearchTekiyoBySakumotsu();
  };
  // The frame's tool bars take the tool-bar image size.
  auto previousView = Main.OnFormViewSettings;
  Main.OnFormViewSettings = [frame, previousView](int size) {
    if (previousView) previousView(size);
    frame->SetImageSize(size);
  };
  if (Main.isVisible()) Main.FormViewSettings();
  auto previousClose = Main.OnFormClose;
  Main.OnFormClose = [frame, previousClose] {
    if (previousClose) previousClose();
    frame->SaveSettings();
  };
}
