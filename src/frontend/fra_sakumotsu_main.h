#pragma once
// The crop-selection frame in the main window: InstallCropFrame puts a TfraSakumotsuBase into
// the crop tab in place of the window's stand-in pane and binds it:
//  - the window's fraSakumotsu, pgSakumotsu, eSakumotsu and eKinsetsuSakumotsu then name the
//    frame's controls (so "条件消去" and the layout keys reach the frame);
//  - trace lines and the name-search SQL go to the log pane;
//  - after a database is opened the tree, the crop-group table and the CVO families are
//    filled (chained to the window's OnLoadMasterLists);
//  - the search action is enabled exactly when main crops are chosen;
//  - the frame's search requests run the crop tab's search (actSakumotsuTekiyo).
class TfrmMain;
class TfraSakumotsuBase;

TfraSakumotsuBase* InstallCropFrame(TfrmMain& Main);

// The crop tab's search for a request of the frame: the main window's search action while the
// crop tab is active, else the tab's handler directly; nothing without main crops.
void actSakumotsuTekiyoExecute(TfrmMain& Main, const TfraSakumotsuBase& Frame);

// Toolbar image size in pixels for the setting BtnImageSize (0: 20, 1: 24, 2: 32, 3: 48,
// other values 16).
int CropFrameImageSize(int BtnImageSize);
