#include "output/dlg_tekiyou_card.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "foundation/screen_placement.h"
#include "output/xls_string_grid.h"

namespace {

TUseCardHook& Hook() {
  static TUseCardHook hook;
  return hook;
}

constexpr int kDesignWidth = 360, kDesignHeight = 420;

QToolButton* ToolButton(QToolBar* bar, const QString& hint, QStyle::StandardPixmap icon, const char* name) {
  auto* b = new QToolButton(bar);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(hint);
  b->setIcon(bar->style()->standardIcon(icon));
  b->setAutoRaise(true);
  bar->addWidget(b);
  return b;
}

}  // namespace

TDlgTekiyouCard::TDlgTekiyouCard(QWidget* owner) : QDialog(owner, Qt::Tool) {
  setObjectName("DlgTekiyouCard");
  setWindowTitle("詳細");
  setMinimumWidth(186);
  if (owner) setFont(owner->window()->font());

  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  bPrev = ToolButton(ToolBar, "前の行", QStyle::SP_ArrowUp, "bPrev");
  bNext = ToolButton(ToolBar, "次の行", QStyle::SP_ArrowDown, "bNext");
  bCopy = ToolButton(ToolBar, "コピー", QStyle::SP_FileDialogContentsView, "bCopy");
  bCopyAll = ToolButton(ToolBar, "全てコピー", QStyle::SP_FileDialogListView, "bCopyAll");
  ToolBar->addSeparator();
  auto* spacer = new QWidget(ToolBar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  ToolBar->addWidget(spacer);
  bOk = new QPushButton("OK", ToolBar);
  bOk->setObjectName("bOk");
  bOk->setDefault(true);
  bOk->setAutoDefault(true);
  ToolBar->addWidget(bOk);
  int px = 16;
  if (OptionData) px = OptionData->BtnImageSize == 0 ? 16 : OptionData->BtnImageSize == 1 ? 24 : 32;
  ToolBar->setIconSize(QSize(px, px));

  Memo = new QTextEdit(this);
  Memo->setObjectName("Memo");
  Memo->setReadOnly(true);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setLineWrapMode(QTextEdit::WidgetWidth);

  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  l->addWidget(ToolBar);
  l->addWidget(Memo);

  connect(bPrev, &QToolButton::clicked, this, &TDlgTekiyouCard::bPrevClick);
  connect(bNext, &QToolButton::clicked, this, &TDlgTekiyouCard::bNextClick);
  connect(bCopy, &QToolButton::clicked, this, &TDlgTekiyouCard::bCopyClick);
  connect(bCopyAll, &QToolButton::clicked, this, &TDlgTekiyouCard::bCopyAllClick);
  connect(bOk, &QPushButton::clicked, this, &QDialog::accept);
  bOk->installEventFilter(this);

  QSize size(kDesignWidth, kDesignHeight);
  if (OptionData) {
    try {
      TIniFile ini(OptionData->IniFileName);
      size = QSize(std::max(186, ini.ReadInteger(SECTION_WINDOW, "DlgTekiyouCardWidth", kDesignWidth)),
                   std::max(80, ini.ReadInteger(SECTION_WINDOW, "DlgTekiyouCardHeight", kDesignHeight)));
    } catch (const std::exception&) {
    }
  }
  resize(size);
}

int TDlgTekiyouCard::FirstRow() const { return Grid ? std::max(Grid->FixedRows(), 1) : 1; }
int TDlgTekiyouCard::LastRow() const { return Grid ? Grid->RowCount() - 1 : RowIndex; }

void TDlgTekiyouCard::Fill() {
  Memo->clear();
  QString text;
  for (size_t i = 0; i < TitleRow.size(); ++i) {
    const std::string cell = i < Row.size() ? Row[i] : std::string();
    if (TitleRow[i].empty() || cell.empty()) continue;
    if (!text.isEmpty()) text += '\n';
    text += QString::fromStdString(TitleRow[i]) + ": " + QString::fromStdString(cell);
  }
  Memo->setPlainText(text);
  // The new text took the format at the old caret (a blue title): every character starts plain.
  QTextCursor all(Memo->document());
  all.select(QTextCursor::Document);
  all.setCharFormat(QTextCharFormat());

  // Every "title:" in the text, values included, in blue.
  TitleRanges.clear();
  QTextCharFormat blue;
  blue.setForeground(QColor(0, 0, 255));
  QTextCursor cur(Memo->document());
  for (const std::string& t : TitleRow) {
    if (t.empty()) continue;
    const QString key = QString::fromStdString(t) + ':';
    for (int at = text.indexOf(key); at >= 0; at = text.indexOf(key, at + 1)) {
      cur.setPosition(at);
      cur.setPosition(at + static_cast<int>(key.size()), QTextCursor::KeepAnchor);
      cur.mergeCharFormat(blue);
      TitleRanges.emplace_back(at, static_cast<int>(key.size()));
    }
  }
  std::sort(TitleRanges.begin(), TitleRanges.end());
  QTextCursor start(Memo->document());
  Memo->setTextCursor(start);
  Memo->ensureCursorVisible();
}

void TDlgTekiyouCard::UpdateButtons() {
  bPrev->setEnabled(RowIndex > FirstRow());
  bNext->setEnabled(RowIndex < LastRow());
}

void TDlgTekiyouCard::Step(int delta) {
  if (!Grid) return;
  const int next = RowIndex + delta;
  if (next < FirstRow() || next > LastRow()) return;
  RowIndex = next;
  Row = Grid->Model().RowTexts(RowIndex);
  UpdateButtons();
  Fill();
}

void TDlgTekiyouCard::bPrevClick() { Step(-1); }
void TDlgTekiyouCard::bNextClick() { Step(1); }

void TDlgTekiyouCard::bCopyClick() { Memo->copy(); }

void TDlgTekiyouCard::bCopyAllClick() {
  Memo->selectAll();
  Memo->copy();
  QTextCursor start(Memo->document());
  Memo->setTextCursor(start);
}

void TDlgTekiyouCard::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  Fill();
  UpdateButtons();
  bOk->setFocus();
}

bool TDlgTekiyouCard::eventFilter(QObject* obj, QEvent* e) {
  if (obj == bOk && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->modifiers() == Qt::NoModifier && (k->key() == Qt::Key_Left || k->key() == Qt::Key_Right)) {
      // The arrow steps when released; its press must not move the focus off the button.
      if (e->type() == QEvent::KeyRelease && !k->isAutoRepeat()) Step(k->key() == Qt::Key_Left ? -1 : 1);
      return true;
    }
  }
  return QDialog::eventFilter(obj, e);
}

void TDlgTekiyouCard::done(int r) {
  if (OptionData) {
    try {
      TIniFile ini(OptionData->IniFileName);
      ini.WriteInteger(SECTION_WINDOW, "DlgTekiyouCardWidth", width());
      ini.WriteInteger(SECTION_WINDOW, "DlgTekiyouCardHeight", height());
      ini.UpdateFile();
    } catch (const std::exception& ex) {
      MessageSink().Log(std::string("card size not saved: ") + ex.what());
    }
  }
  QDialog::done(r);
}

void OpenUseCard(QWidget* owner, TXlsStringGrid* grid, int row) {
  if (!grid || row < std::max(grid->FixedRows(), 1) || row >= grid->RowCount()) return;
  TDlgTekiyouCard card(owner);
  card.Grid = grid;
  card.TitleRow = grid->Model().RowTexts(0);
  card.Row = grid->Model().RowTexts(row);
  card.RowIndex = row;
  card.Memo->setFont(grid->font());
  // At the lower left corner of the row's current cell, inside the screen.
  const int col = std::max(grid->Col(), 0);
  const QModelIndex idx = grid->model()->index(row - grid->FixedRows(), col);
  const QRect cell = grid->visualRect(idx);
  const QPoint at = grid->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint(0, 0));
  card.move(ClampToWorkArea(at, card.size()));
  if (Hook()) {
    card.show();
    card.done(Hook()(card));
    return;
  }
  card.exec();
}

TUseCardHook SetUseCardModalHook(TUseCardHook hook) {
  TUseCardHook old = std::move(Hook());
  Hook() = std::move(hook);
  return old;
}
