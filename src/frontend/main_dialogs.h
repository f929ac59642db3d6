#pragma once
// The options dialog and the about box of the main window's "設定" and "バージョン情報" items.
// The program entry installs them with the search pages (main_pages.cpp).
class TfrmMain;

void InstallOptionAndAboutDialogs(TfrmMain& Main);
// The options dialog applies what it changed through TfrmMain::ApplyViewSettings.
