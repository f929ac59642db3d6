#include "frontend/pest_picker_parts.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSplitter>
#include <QVBoxLayout>

#include "foundation/check_list_box_ex.h"
#include "frontend/picker_placement.h"

QVBoxLayout* InitPestPickerFrame(QDialog* Dlg, QWidget* Owner, const char* ObjectName) {
  Dlg->setObjectName(ObjectName);
  Dlg->setWindowTitle("病害虫選択");
  if (Owner) Dlg->setFont(Owner->window()->font());
  auto* lay = new QVBoxLayout(Dlg);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  return lay;
}

QSplitter* NewPestPickerSplitter(QWidget* Parent) {
  auto* splitter = new QSplitter(Qt::Vertical, Parent);
  splitter->setObjectName("Splitter1");
  splitter->setChildrenCollapsible(false);
  return splitter;
}

TPestListPane AddPestListPane(QSplitter* Splitter, int FilterRowMargin,
                              const std::function<void(QWidget* pnlFilter, QHBoxLayout* Row)>& FillFilterRow) {
  TPestListPane pane;
  auto* lower = new QWidget;
  auto* ll = new QVBoxLayout(lower);
  ll->setContentsMargins(0, 0, 0, 0);
  ll->setSpacing(2);
  pane.pnlFilter = new QWidget(lower);
  pane.pnlFilter->setObjectName("pnlFilter");
  auto* row = new QHBoxLayout(pane.pnlFilter);
  row->setContentsMargins(0, FilterRowMargin, 0, FilterRowMargin);
  FillFilterRow(pane.pnlFilter, row);
  ll->addWidget(pane.pnlFilter);
  pane.lstByochu = new TCheckListBoxEx(lower);
  pane.lstByochu->setObjectName("lstByochu");
  ll->addWidget(pane.lstByochu, 1);
  Splitter->addWidget(lower);
  Splitter->setStretchFactor(1, 1);
  return pane;
}

void FillCropList(TCheckListBoxEx* List, const std::string& SQL) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  {
    const QSignalBlocker block(List);
    List->clear();
    if (!SQL.empty())
      for (const std::string& name : QueryColumnUnique(SQL, true)) List->AddItem(QString::fromStdString(name));
  }
  QApplication::restoreOverrideCursor();
}
