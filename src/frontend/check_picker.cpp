#include "frontend/check_picker.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/check_list_box_ex.h"
#include "foundation/comma_text.h"
#include "frontend/picker_placement.h"

TCheckPicker::TCheckPicker(QWidget* Owner, const QString& Caption, const char* ListName, const QStringList& Items,
                           QSize Size)
    : QDialog(Owner, Qt::Tool) {
  setWindowTitle(Caption);
  if (Owner) setFont(Owner->window()->font());
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(2);
  List = new TCheckListBoxEx(this);
  List->setObjectName(QString::fromLatin1(ListName));
  for (const QString& s : Items) List->AddItem(s);
  lay->addWidget(List, 1);
  pnlButtons = new QWidget(this);
  pnlButtons->setObjectName("pnlButtons");
  auto* bl = new QHBoxLayout(pnlButtons);
  bl->setContentsMargins(0, 0, 0, 0);
  ckAll = new QCheckBox("全て", pnlButtons);
  ckAll->setObjectName("ckAll");
  Button1 = new QPushButton("OK", pnlButtons);
  Button1->setObjectName("Button1");
  Button1->setDefault(true);
  Button2 = new QPushButton("キャンセル", pnlButtons);
  Button2->setObjectName("Button2");
  bl->addWidget(ckAll);
  bl->addStretch(1);
  bl->addWidget(Button1);
  bl->addWidget(Button2);
  lay->addWidget(pnlButtons);
  resize(Size);
  connect(ckAll, &QCheckBox::clicked, this, [this] { ckAllClick(); });
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TCheckPicker::ckAllClick() {
  CheckAllItems(List, ckAll->isChecked());
}

void TCheckPicker::SetItems(const std::vector<std::string>& Items) {
  List->clear();
  for (const std::string& s : Items)
    if (!QString::fromStdString(s).trimmed().isEmpty()) List->AddItem(QString::fromStdString(s));
}

void TCheckPicker::CheckCommaText(const std::string& Text) { CheckNamedItems(List, CommaTextToList(Text)); }

void TCheckPicker::FitHeightToItems() {
  const int itemHeight = List->count() > 0 ? std::max(1, List->sizeHintForRow(0)) : List->fontMetrics().height();
  const int h = List->count() * itemHeight + pnlButtons->sizeHint().height() + 4;
  resize(width(), h + layout()->contentsMargins().top() + layout()->contentsMargins().bottom() + layout()->spacing() +
                      2 * List->frameWidth());
}

std::string TCheckPicker::GetSelected() const { return ListToCommaText(selected_); }

void TCheckPicker::done(int Result) {
  selected_ = CheckedTexts(List);
  QDialog::done(Result);
}

bool PickIntoBox(TCheckPicker& Picker, const QWidget* Button, QLineEdit* Box) {
  if (Box) Picker.CheckCommaText(Box->text().toStdString());
  PlacePickerAtButton(&Picker, Button);
  if (ExecPicker(Picker) != QDialog::Accepted) return false;
  if (Box) Box->setText(QString::fromStdString(Picker.GetSelected()));
  return true;
}
