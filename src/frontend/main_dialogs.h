#pragma once
// The options dialog and the about box of the main window's "設定" and "バージョン情報" items.
// The program entry installs them with the search pages (main_pages.cpp).
class TfrmMain;

void InstallOptionAndAboutDialogs(TfrmMain& Main);
// The settings the options dialog edits, applied to the running window at once: fonts,
// colours, tool bars, menu and button image sizes, the crop tree's indent, the SQL editor and
// the grids' fitting.
void ApplyOptionDialogSettings(TfrmMain& Main);
