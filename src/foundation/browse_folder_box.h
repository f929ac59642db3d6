#pragma once
// TBrowseFolderBox: folder chooser that opens at a given folder and screen place.
#include <QString>

class QWidget;

// Special folder numbers of the roots the forms use.
constexpr int CSIDL_DESKTOP = 0;
constexpr int CSIDL_PERSONAL = 5;
constexpr int CSIDL_NETWORK = 18;

// Chooser flags (the forms combine them).
constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;
constexpr unsigned BIF_STATUSTEXT = 0x0004;
constexpr unsigned BIF_SHAREABLE = 0x8000;

struct TBrowsePlacement {
  int Left = 0, Top = 0;            // the dialog's place on the screen
  int GrowWidth = 0, GrowHeight = 0;  // added to its designed size
};

class TBrowseFolderBox {
 public:
  TBrowseFolderBox();
  QWidget* Owner = nullptr;
  int Root = CSIDL_DESKTOP;
  QString InitialFolder;
  QString Folder;       // the chosen folder (the result)
  QString DisplayName;  // its name as shown
  // What to choose, said inside the chooser; also its caption when Caption is empty.
  QString Title;
  QString Caption;
  unsigned Flags = BIF_RETURNONLYFSDIRS;
  QString CurrentFolder;  // folder selected while browsing
  TBrowsePlacement Placement;
  bool PlacementSet = false;  // false: the dialog's own place

  // True when the user chose a folder; a cancel leaves Folder empty.
  bool Execute();
  // The folder a root number starts at.
  static QString RootPath(int root);
};
