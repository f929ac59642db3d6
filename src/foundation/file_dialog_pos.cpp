#include "foundation/file_dialog_pos.h"

#include <QEvent>
#include <QFileDialog>
#include <QTimer>
#include <QWidget>

#include "foundation/screen_placement.h"

std::function<void(QFileDialog&)> TFileDialogPos::AfterShow;

QPoint DialogPlace(const TDlgPosition& pos, QSize size, const QRect& workArea, const QPoint* ownerOrigin) {
  QPoint p(pos.X, pos.Y);
  switch (pos.Option) {
    case dpDefault:
      if (ownerOrigin) p = *ownerOrigin;
      break;
    case dpCenter:
      p = QPoint(workArea.x() + (workArea.width() - size.width()) / 2,
                 workArea.y() + (workArea.height() - size.height()) / 2);
      break;
    case dpDesigned:
      break;
  }
  return ClampToArea(p, size, workArea);
}

void PositionDialog(QWidget* window, const TDlgPosition& pos, QWidget* owner) {
  if (!window) return;
  QPoint origin;
  const QPoint* ownerOrigin = nullptr;
  if (owner) {
    origin = owner->mapToGlobal(QPoint(0, 0));
    ownerOrigin = &origin;
  }
  const QPoint start = pos.Option == dpDefault && ownerOrigin ? origin : QPoint(pos.X, pos.Y);
  const QRect area = pos.Option == dpCenter && owner ? WorkAreaAt(owner->mapToGlobal(owner->rect().center()))
                                                     : WorkAreaAt(start);
  const QRect frame = window->frameGeometry();
  const QSize size = frame.width() >= window->width() ? frame.size() : window->size();
  window->move(DialogPlace(pos, size, area, ownerOrigin));
}

QString ConvertDialogFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    QString caption = parts[i];
    // A caption that already ends in its patterns ("CSVﾌｧｲﾙ(*.csv)") shows them once, in the
    // form the dialog reads.
    const qsizetype open = caption.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && caption.endsWith(QLatin1Char(')'))) {
      const QString shown = caption.mid(open + 1, caption.size() - open - 2).replace(QLatin1Char(';'), QLatin1Char(' '));
      if (shown.simplified().compare(patterns.simplified(), Qt::CaseInsensitive) == 0) {
        out << caption.left(open + 1) + patterns + QStringLiteral(")");
        continue;
      }
    }
    out << caption + QStringLiteral(" (") + patterns + QStringLiteral(")");
  }
  return out.join(QStringLiteral(";;"));
}

namespace {

class TPlaceOnShow : public QObject {
 public:
  TPlaceOnShow(QFileDialog* dlg, const TDlgPosition& pos, QWidget* owner)
      : QObject(dlg), FDlg(dlg), FPos(pos), FOwner(owner) {}
  bool eventFilter(QObject* obj, QEvent* ev) override {
    if (obj == FDlg && ev->type() == QEvent::Show && !FDone) {
      FDone = true;
      PositionDialog(FDlg, FPos, FOwner);
      if (TFileDialogPos::AfterShow) {
        QFileDialog* dlg = FDlg;
        QTimer::singleShot(0, dlg, [dlg] { TFileDialogPos::AfterShow(*dlg); });
      }
    }
    return false;
  }

 private:
  QFileDialog* FDlg;
  TDlgPosition FPos;
  QWidget* FOwner;
  bool FDone = false;
};

}  // namespace

bool TFileDialogPos::Execute(QWidget* owner) {
  QFileDialog dlg(owner, Title);
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(IsSave() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(IsSave() ? QFileDialog::AnyFile
                           : (AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
  dlg.setOption(QFileDialog::DontConfirmOverwrite, !OverwritePrompt);
  if (!InitialDir.isEmpty()) dlg.setDirectory(InitialDir);
  if (!Filter.isEmpty()) {
    const QString f = ConvertDialogFilter(Filter);
    dlg.setNameFilters(f.split(QStringLiteral(";;")));
    const QStringList filters = dlg.nameFilters();
    if (FilterIndex >= 1 && FilterIndex <= filters.size()) dlg.selectNameFilter(filters[FilterIndex - 1]);
  }
  if (!DefaultExt.isEmpty()) dlg.setDefaultSuffix(DefaultExt);
  if (!FileName.isEmpty()) dlg.selectFile(FileName);
  dlg.installEventFilter(new TPlaceOnShow(&dlg, Position, owner));
  if (dlg.exec() != QDialog::Accepted) return false;
  Files = dlg.selectedFiles();
  FileName = Files.value(0);
  FilterIndex = std::max(1, static_cast<int>(dlg.nameFilters().indexOf(dlg.selectedNameFilter())) + 1);
  return !FileName.isEmpty();
}
