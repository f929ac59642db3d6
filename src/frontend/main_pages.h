#pragma once
// Puts the search pages that live in their own files into the main window: the
// crop-selection frame and the crop search on the crop tab, the pest search on the pest tab,
// the template page on the template tab and the SQL console on the SQL tab. The program entry
// calls it once after creating the window (the window's own tests run without them).
class TfrmMain;

void InstallSearchPages(TfrmMain& Main);
