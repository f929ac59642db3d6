#include "frontend/console/dlg_arg_save.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "database/sql_template.h"
#include "foundation/file_dialog_pos.h"
#include "foundation/message_sink.h"
#include "foundation/global.h"
#include "foundation/options.h"
#include "frontend/main_widgets.h"
#include "frontend/picker_placement.h"

using namespace MainWidgets;

namespace {
constexpr const char* kArgFilter = "定型処理設定ファイル(*.arg)|*.arg|全てのファイル(*.*)|*.*";
const QSize kDesigned(420, 320);
}  // namespace

TDlgArgSave::TDlgArgSave(QWidget* Owner) : QDialog(Owner) {
  setObjectName("DlgArgSave");
  setWindowTitle("設定保存");
  setMinimumSize(300, 300);
  auto* l = new QVBoxLayout(this);
  lblQuestion = Named(new QLabel(this), "lblQuestion");
  l->addWidget(lblQuestion);
  mArgs = Named(new QPlainTextEdit(this), "mArgs");
  mArgs->setLineWrapMode(QPlainTextEdit::NoWrap);
  l->addWidget(mArgs, 1);
  auto* b = new QHBoxLayout;
  b->addStretch(1);
  btnYes = NewButton("はい", "btnYes", this);
  btnNo = NewButton("いいえ", "btnNo", this);
  b->addWidget(btnYes);
  b->addWidget(btnNo);
  l->addLayout(b);
  connect(btnYes, &QPushButton::clicked, this, [this] { btnYesClick(); });
  connect(btnNo, &QPushButton::clicked, this, &QDialog::reject);
  resize(ReadPickerSize("DlgArgSaveWidth", "DlgArgSaveHeight", kDesigned).expandedTo(minimumSize()));
}

TDlgArgSave::~TDlgArgSave() { WritePickerSize("DlgArgSaveWidth", "DlgArgSaveHeight", size()); }

void TDlgArgSave::btnYesClick() {
  TSaveDialogPos dlg;
  dlg.Title = "定型処理設定ファイル保存";
  dlg.Filter = kArgFilter;
  dlg.DefaultExt = "arg";
  dlg.OverwritePrompt = true;
  dlg.InitialDir = QString::fromStdString(OptionData->TemplateDir);
  const QPoint at = btnYes->mapToGlobal(QPoint(0, btnYes->height()));
  dlg.Position.Option = dpDesigned;
  dlg.Position.X = at.x();
  dlg.Position.Y = at.y();
  SavedFile.clear();
  if (dlg.Execute(this)) {
    std::vector<std::string> lines;
    const QString text = mArgs->toPlainText();
    if (!text.isEmpty())
      for (const QString& line : text.split('\n')) lines.push_back(line.toStdString());
    if (SaveTextLines(dlg.FileName.toStdString(), lines))
      SavedFile = dlg.FileName;
    else
      ShowMessageBox(TMsgKind::Error, "Quillmar", dlg.FileName.toStdString() + " に保存できません");
  }
  accept();
}
