#include "foundation/browse_folder_box.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>

#include "foundation/file_dialog_pos.h"
#include "foundation/screen_placement.h"

TBrowseFolderBox::TBrowseFolderBox() = default;

QString TBrowseFolderBox::RootPath(int root) {
  switch (root) {
    case CSIDL_PERSONAL: return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case CSIDL_NETWORK: return QStringLiteral("/");
    default: {
      const QString d = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
      return QFileInfo(d).isDir() ? d : QDir::homePath();
    }
  }
}

bool TBrowseFolderBox::Execute() {
  Folder.clear();
  DisplayName.clear();
  QFileDialog dlg(Owner, Caption.isEmpty() ? Title : Caption);
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  // A caption of its own: the title is the line beside the folder list.
  if (!Caption.isEmpty() && !Title.isEmpty()) dlg.setLabelText(QFileDialog::LookIn, Title);
  dlg.setFileMode(QFileDialog::Directory);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  dlg.setDirectory(InitialFolder.isEmpty() || !QFileInfo(InitialFolder).isDir() ? RootPath(Root) : InitialFolder);
  if (!InitialFolder.isEmpty()) dlg.selectFile(InitialFolder);
  QObject::connect(&dlg, &QFileDialog::currentChanged, &dlg, [this, &dlg](const QString& path) {
    CurrentFolder = path;
    if (Flags & BIF_STATUSTEXT) dlg.setLabelText(QFileDialog::FileName, QFileInfo(path).fileName());
  });
  dlg.adjustSize();
  if (PlacementSet) {
    dlg.resize(dlg.width() + Placement.GrowWidth, dlg.height() + Placement.GrowHeight);
    MoveInsideWorkArea(&dlg, QPoint(Placement.Left, Placement.Top));
  }
  if (TFileDialogPos::AfterShow) {
    QFileDialog* d = &dlg;
    QMetaObject::invokeMethod(d, [d] { TFileDialogPos::AfterShow(*d); }, Qt::QueuedConnection);
  }
  if (dlg.exec() != QDialog::Accepted) return false;
  const QString path = dlg.selectedFiles().value(0);
  if (path.isEmpty() || !QFileInfo(path).isDir()) return false;
  Folder = QDir::cleanPath(path);
  DisplayName = QFileInfo(Folder).fileName().isEmpty() ? Folder : QFileInfo(Folder).fileName();
  return true;
}
