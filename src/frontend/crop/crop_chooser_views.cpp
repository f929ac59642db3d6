#include "frontend/crop/crop_chooser_views.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolBar>
#include <QToolTip>
#include <QVBoxLayout>

#include "database/acis_db.h"
#include "database/sakumotsu_tree.h"
#include "foundation/check_tree_view.h"
#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/plain_hint.h"
#include "frontend/crop/crop_chooser.h"

TAcisDB* ProgramDatabase() { return AcisDB.get(); }

namespace {

// The database's current result, held by a fill loop while it runs.  The loop lets window
// messages run, and a hover hint queries the database then, which replaces the database's
// current result; the loop keeps reading its own.  Afterwards the result goes back unless a
// newer one took its place.
class TTakenCursor {
 public:
  explicit TTakenCursor(TAcisDB& Db) : FDb(Db), FTbl(std::move(Db.FTbl)) {}
  ~TTakenCursor() {
    if (!FDb.FTbl) FDb.FTbl = std::move(FTbl);
  }
  TTakenCursor(const TTakenCursor&) = delete;
  TTakenCursor& operator=(const TTakenCursor&) = delete;
  TSQLiteTbl& operator*() const { return *FTbl; }

 private:
  TAcisDB& FDb;
  std::unique_ptr<TSQLiteTbl> FTbl;
};

}  // namespace

// ---- drawing ----------------------------------------------------------------------------------

void TCropItemDelegate::initStyleOption(QStyleOptionViewItem* Option, const QModelIndex& Index) const {
  QStyledItemDelegate::initStyleOption(Option, Index);
  const int draw = Index.data(kCropDrawRole).toInt();
  const QColor grey(0x80, 0x80, 0x80), silver(0xC0, 0xC0, 0xC0);
  const QColor greyText = Option->palette.color(QPalette::Disabled, QPalette::Text);
  switch (draw) {
    case cdGreyText:
      Option->palette.setColor(QPalette::Text, greyText);
      Option->palette.setColor(QPalette::Highlight, grey);
      break;
    case cdUpperOnly:
      Option->backgroundBrush = grey;
      Option->palette.setColor(QPalette::Text, Qt::white);
      break;
    case cdUnregistered:
      // A dark grey: the styles' grey text (light under Fusion) vanishes on silver.
      Option->backgroundBrush = silver;
      Option->palette.setColor(QPalette::Text, QColor(0x40, 0x40, 0x40));
      break;
    default: break;
  }
}

namespace {

enum class TShape { None, Folder, OpenFolder, Leaf, Dot };

QPixmap DrawPixmap(TShape Shape, QColor Colour, int Size) {
  QPixmap pm(Size, Size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = Size;
  p.setPen(QPen(Colour.darker(160), std::max<qreal>(1.0, s / 16)));
  p.setBrush(Colour);
  switch (Shape) {
    case TShape::Folder:
    case TShape::OpenFolder: {
      QPainterPath path;
      path.moveTo(s * 0.08, s * 0.25);
      path.lineTo(s * 0.40, s * 0.25);
      path.lineTo(s * 0.48, s * 0.35);
      path.lineTo(s * 0.92, s * 0.35);
      path.lineTo(s * 0.92, s * 0.85);
      path.lineTo(s * 0.08, s * 0.85);
      path.closeSubpath();
      p.drawPath(path);
      if (Shape == TShape::OpenFolder) {
        p.setBrush(Colour.lighter(130));
        QPolygonF lid;
        lid << QPointF(s * 0.20, s * 0.48) << QPointF(s * 0.98, s * 0.48) << QPointF(s * 0.85, s * 0.85)
            << QPointF(s * 0.08, s * 0.85);
        p.drawPolygon(lid);
      }
      break;
    }
    case TShape::Leaf: {
      QPainterPath path;
      path.moveTo(s * 0.15, s * 0.85);
      path.cubicTo(s * 0.10, s * 0.30, s * 0.50, s * 0.10, s * 0.88, s * 0.12);
      path.cubicTo(s * 0.90, s * 0.55, s * 0.60, s * 0.90, s * 0.15, s * 0.85);
      p.drawPath(path);
      p.drawLine(QPointF(s * 0.15, s * 0.85), QPointF(s * 0.65, s * 0.38));
      break;
    }
    case TShape::Dot: p.drawEllipse(QRectF(s * 0.3, s * 0.3, s * 0.4, s * 0.4)); break;
    case TShape::None: break;
  }
  p.end();
  return pm;
}

// The image sizes the toolbars and trees are shown at.
const int kImageSizes[] = {16, 20, 24, 32, 48};

QIcon DrawImage(TShape Shape, QColor Colour, int Size) {
  if (Shape == TShape::None) return QIcon();
  QIcon icon(DrawPixmap(Shape, Colour, Size));
  for (int s : kImageSizes)
    if (s != Size) icon.addPixmap(DrawPixmap(Shape, Colour, s));
  return icon;
}

}  // namespace

std::vector<QIcon> CropTreeImages(int Size) {
  const QColor green(0x3c, 0xa0, 0x3c), lightGreen(0x8c, 0xd0, 0x78), grey(0xa8, 0xa8, 0xa8),
      amber(0xe0, 0xa0, 0x30), blue(0x50, 0x80, 0xd0);
  std::vector<QIcon> images(42);
  auto set = [&](int i, TShape sh, QColor c) { images[static_cast<size_t>(i)] = DrawImage(sh, c, Size); };
  set(0, TShape::Folder, green);
  set(1, TShape::OpenFolder, green);
  set(2, TShape::Leaf, lightGreen);
  set(3, TShape::Leaf, lightGreen.darker(115));
  set(4, TShape::Leaf, green);
  set(5, TShape::Leaf, green.darker(115));
  set(6, TShape::Dot, green);
  set(7, TShape::Dot, green.darker(115));
  set(13, TShape::Leaf, grey);
  set(37, TShape::Leaf, amber);
  set(38, TShape::Leaf, amber.darker(115));
  set(39, TShape::Folder, grey);
  set(40, TShape::OpenFolder, grey);
  set(41, TShape::Leaf, blue);
  return images;
}

namespace {

// One command picture at Size pixels (a null pixmap for unknown names).
QPixmap CommandPixmap(const std::string& Name, int Size) {
  QPixmap pm(Size, Size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = Size;
  QPen pen(QColor(0x30, 0x50, 0x90), std::max<qreal>(1.5, s / 10));
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  auto line = [&](qreal x1, qreal y1, qreal x2, qreal y2) { p.drawLine(QPointF(s * x1, s * y1), QPointF(s * x2, s * y2)); };
  auto box = [&] { p.drawRect(QRectF(s * 0.15, s * 0.15, s * 0.7, s * 0.7)); };
  if (Name == "expand") {
    box();
    line(0.3, 0.5, 0.7, 0.5);
    line(0.5, 0.3, 0.5, 0.7);
  } else if (Name == "collapse") {
    box();
    line(0.3, 0.5, 0.7, 0.5);
  } else if (Name == "clear" || Name == "checkoff") {
    box();
    line(0.3, 0.3, 0.7, 0.7);
    line(0.7, 0.3, 0.3, 0.7);
  } else if (Name == "checkall") {
    box();
    line(0.28, 0.5, 0.45, 0.68);
    line(0.45, 0.68, 0.74, 0.3);
  } else if (Name == "auto" || Name == "tekiyo") {
    p.setBrush(pen.color());
    QPolygonF bolt;
    bolt << QPointF(s * 0.55, s * 0.08) << QPointF(s * 0.25, s * 0.55) << QPointF(s * 0.48, s * 0.55)
         << QPointF(s * 0.40, s * 0.92) << QPointF(s * 0.75, s * 0.42) << QPointF(s * 0.52, s * 0.42);
    p.drawPolygon(bolt);
  } else if (Name == "upper") {
    line(0.5, 0.15, 0.5, 0.85);
    line(0.5, 0.15, 0.25, 0.42);
    line(0.5, 0.15, 0.75, 0.42);
  } else if (Name == "search") {
    p.drawEllipse(QRectF(s * 0.15, s * 0.15, s * 0.45, s * 0.45));
    line(0.55, 0.55, 0.85, 0.85);
  } else if (Name == "forward") {
    line(0.2, 0.2, 0.2, 0.8);
    line(0.35, 0.5, 0.85, 0.5);
  } else if (Name == "broad") {
    line(0.15, 0.5, 0.85, 0.5);
    line(0.15, 0.3, 0.15, 0.7);
    line(0.85, 0.3, 0.85, 0.7);
  } else if (Name == "main" || Name == "neighbour") {
    p.setBrush(Name == "main" ? QColor(0x3c, 0xa0, 0x3c) : QColor(0xe0, 0xa0, 0x30));
    p.drawEllipse(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6));
  } else {
    return QPixmap();
  }
  p.end();
  return pm;
}

}  // namespace

QIcon CropCommandIcon(const std::string& Name, int Size) {
  QPixmap first = CommandPixmap(Name, Size);
  if (first.isNull()) return QIcon();
  QIcon icon(first);
  for (int s : kImageSizes)
    if (s != Size) icon.addPixmap(CommandPixmap(Name, s));
  return icon;
}

// ---- the crop tree ---------------------------------------------------------------------------

void ForEachTreeNode(QTreeWidget* Tree, const std::function<void(QTreeWidgetItem*)>& Fn) {
  std::vector<QTreeWidgetItem*> stack;
  for (int i = Tree->topLevelItemCount() - 1; i >= 0; --i) stack.push_back(Tree->topLevelItem(i));
  while (!stack.empty()) {
    QTreeWidgetItem* n = stack.back();
    stack.pop_back();
    Fn(n);
    for (int i = n->childCount() - 1; i >= 0; --i) stack.push_back(n->child(i));
  }
}

bool BuildCropTree(TCheckTreeView* Tree, TAcisDB& Db, const std::shared_ptr<TSakumotsuList>& List,
                   const std::vector<QIcon>& Images, bool Checkboxes, int GreyLevel) {
  const QSignalBlocker block(Tree);
  // The nodes point into the list, which the build may load again: let go of them first.
  Tree->clear();
  if (!BuildSakumotsuTree(Tree, Db, List, &Images)) return false;
  Tree->setDragDropMode(QAbstractItemView::NoDragDrop);
  Tree->setUpdatesEnabled(false);
  Tree->SetCheckboxes(Checkboxes);
  ForEachTreeNode(Tree, [&](QTreeWidgetItem* n) {
    const TSakumotsu* r = SakumotsuOfItem(n);
    if (r && r->toroku == 0 && r->Class == GreyLevel) n->setData(0, kCropDrawRole, int(cdGreyText));
  });
  Tree->setUpdatesEnabled(true);
  return true;
}

namespace {

class THintFilter : public QObject {
 public:
  THintFilter(QTreeWidget* View, THintTextFn Text) : QObject(View), FView(View), FText(std::move(Text)) {}

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(Event);
    QTreeWidgetItem* item = FView->itemAt(help->pos());
    const QString text = item ? FText(item) : QString();
    if (text.isEmpty()) {
      QToolTip::hideText();
      Event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), PlainHint(text), FView->viewport(), FView->visualItemRect(item));
    }
    (void)Watched;
    return true;
  }

 private:
  QTreeWidget* FView;
  THintTextFn FText;
};

}  // namespace

void InstallItemHints(QTreeWidget* View, THintTextFn Text) {
  View->viewport()->installEventFilter(new THintFilter(View, std::move(Text)));
}

// ---- result list of the crop-name search -----------------------------------------------------

TCropResultList::TCropResultList(QWidget* Parent, int MaxColumnWidth) : QTreeWidget(Parent), FMaxWidth(MaxColumnWidth) {
  setObjectName("lvSakumotsu");
  setColumnCount(3);
  setHeaderLabels({"作物名", "収穫部位", "別名"});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new TCropItemDelegate(this));
  const int widths[3] = {80, 80, 100};
  for (int i = 0; i < 3; ++i) setColumnWidth(i, widths[i]);
  header()->setStretchLastSection(false);
  connect(header(), &QHeaderView::sectionResized, this, [this](int Col, int, int New) {
    if (FMaxWidth > 0 && New > FMaxWidth) setColumnWidth(Col, FMaxWidth);
  });
  connect(this, &QTreeWidget::itemChanged, this, &TCropResultList::OnItemChanged);
}

TCropResultList::~TCropResultList() {
  // The items point into the records: take them away first.
  const QSignalBlocker block(this);
  clear();
}

void TCropResultList::OnItemChanged(QTreeWidgetItem* Item, int Column) {
  if (FUpdating || Column != 0) return;
  emit CheckChanged(Item);
}

void TCropResultList::ClearRecords() {
  ++FUpdating;
  clear();
  FRecords.clear();
  --FUpdating;
}

int TCropResultList::ShowSearchResult(TAcisDB& Db, const std::string& SQL) {
  TWaitCursor wait;
  ClearRecords();
  if (!Db.Query(SQL, false)) return 0;
  return FillFromCursor(Db);
}

int TCropResultList::ShowSearchResult(TAcisDB& Db, const std::string& SQL, const std::vector<std::string>& Params) {
  TWaitCursor wait;
  ClearRecords();
  std::vector<TSQLiteParam> values(Params.begin(), Params.end());
  try {
    TAcisBusy busy;
    Db.FTbl = Db.FDb->GetTableBound(SQL, TSQLiteParams(values));
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "");
    return 0;
  }
  if (!Db.FTbl || Db.FTbl->Count() == 0) return 0;
  return FillFromCursor(Db);
}

int TCropResultList::FillFromCursor(TAcisDB& Db) {
  TTakenCursor cursor(Db);
  TSQLiteTbl& t = *cursor;
  ++FUpdating;
  setUpdatesEnabled(false);
  QList<QTreeWidgetItem*> items;
  items.reserve(t.Count());
  for (t.MoveFirst(); !t.Eof(); t.Next()) {
    auto rec = std::make_unique<TSakumotsu>();
    rec->Class = static_cast<int>(t.FieldAsInteger(0));
    rec->idsaku = t.FieldAsString(1);
    rec->toroku = static_cast<int>(t.FieldAsInteger(2));
    rec->shukakubui = t.FieldAsString(3);
    rec->sakumotsu = t.FieldAsString(4);
    rec->betsumei = t.FieldAsString(5);
    rec->gunmei = t.FieldAsString(6);
    auto* item = new QTreeWidgetItem();
    const QString caption = QString(std::max(0, rec->Class), QChar('>')) + " " + QString::fromStdString(rec->sakumotsu);
    item->setText(0, caption);
    item->setText(1, QString::fromStdString(rec->shukakubui));
    item->setText(2, QString::fromStdString(rec->betsumei));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    item->setData(0, kSakuRecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(rec.get())));
    const int draw = rec->toroku == 2 ? cdUpperOnly : rec->toroku == 0 ? cdUnregistered : cdNormal;
    for (int c = 0; c < 3; ++c) item->setData(c, kCropDrawRole, draw);
    FRecords.push_back(std::move(rec));
    items.append(item);
    Db.Breathe();
  }
  addTopLevelItems(items);
  // The level marks take up to five characters before the name: the name column grows to its
  // widest caption (within the cap) so that the names stay readable; it never shrinks here.
  const int need = FMaxWidth > 0 ? std::min(FMaxWidth, sizeHintForColumn(0)) : sizeHintForColumn(0);
  if (columnWidth(0) < need) setColumnWidth(0, need);
  setUpdatesEnabled(true);
  --FUpdating;
  return static_cast<int>(items.size());
}

const TSakumotsu* TCropResultList::RecordOf(const QTreeWidgetItem* Item) { return SakumotsuOfItem(Item); }

std::vector<const TSakumotsu*> TCropResultList::CheckedRecords() const {
  std::vector<const TSakumotsu*> out;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = topLevelItem(i);
    if (it->checkState(0) == Qt::Checked)
      if (const TSakumotsu* r = RecordOf(it)) out.push_back(r);
  }
  return out;
}

void TCropResultList::SetAllChecked(bool Checked) {
  ++FUpdating;
  for (int i = 0; i < topLevelItemCount(); ++i) topLevelItem(i)->setCheckState(0, Checked ? Qt::Checked : Qt::Unchecked);
  --FUpdating;
}

QTreeWidgetItem* TCropResultList::CheckSameName(const std::string& Input) {
  QTreeWidgetItem* last = nullptr;
  ++FUpdating;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = topLevelItem(i);
    const TSakumotsu* r = RecordOf(it);
    const bool same = r && SameKanaText(r->sakumotsu, Input);
    it->setCheckState(0, same ? Qt::Checked : Qt::Unchecked);
    if (same) last = it;
  }
  --FUpdating;
  setCurrentItem(last);
  return last;
}

// ---- shared list-view helpers -----------------------------------------------------------------

namespace {

QTreeWidget* NewTableView(QWidget* Parent, const char* Name, const QStringList& Columns) {
  auto* v = new QTreeWidget(Parent);
  v->setObjectName(Name);
  v->setColumnCount(Columns.size());
  v->setHeaderLabels(Columns);
  v->setRootIsDecorated(false);
  v->setUniformRowHeights(true);
  v->setAllColumnsShowFocus(true);
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Grid lines; a style sheet that styles the items paints the selection too, so it says how.
  v->setStyleSheet(
      "QTreeView::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }"
      "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }");
  v->header()->setStretchLastSection(false);
  return v;
}

// The rows of the cursor: the caption field and the sub-item fields per row.
void FillTable(QTreeWidget* View, TAcisDB& Db, int CaptionField, const std::vector<int>& SubFields) {
  TTakenCursor cursor(Db);
  TSQLiteTbl& t = *cursor;
  View->setUpdatesEnabled(false);
  View->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(t.Count());
  const int cols = t.ColCount();
  auto field = [&](int f) { return f < cols ? QString::fromStdString(t.FieldAsString(f)) : QString(); };
  for (t.MoveFirst(); !t.Eof(); t.Next()) {
    auto* item = new QTreeWidgetItem();
    item->setText(0, field(CaptionField));
    for (size_t i = 0; i < SubFields.size(); ++i) item->setText(static_cast<int>(i) + 1, field(SubFields[i]));
    items.append(item);
    Db.Breathe();
  }
  View->addTopLevelItems(items);
  View->setUpdatesEnabled(true);
}

// Refills a combo box with "全て" and the first column of the cursor's rows; item 0 chosen.
void FillFilterCombo(QComboBox* Combo, TAcisDB& Db) {
  const QSignalBlocker block(Combo);
  Combo->clear();
  Combo->addItem(kAllItems);
  TSQLiteTbl& t = *Db.FTbl;
  QStringList items;
  for (t.MoveFirst(); !t.Eof(); t.Next()) items.append(QString::fromStdString(t.FieldAsString(0)));
  Combo->addItems(items);
  Combo->setCurrentIndex(0);
}

QComboBox* NewFilterCombo(QWidget* Parent, const char* Name, const char* Hint) {
  auto* c = new QComboBox(Parent);
  c->setObjectName(Name);
  c->setToolTip(Hint);
  c->setMaxVisibleItems(16);
  c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  c->setMinimumContentsLength(6);
  return c;
}

std::string CellText(const QTreeWidget* View, int Column) {
  const QTreeWidgetItem* it = View->currentItem();
  return it ? it->text(Column).toStdString() : std::string();
}

}  // namespace

// ---- crop-group table ------------------------------------------------------------------------

TCropGroupPage::TCropGroupPage(QWidget* Parent) : QWidget(Parent) {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(1);
  tbBeppyo = new QToolBar(this);
  tbBeppyo->setObjectName("tbBeppyo");
  cbLg = NewFilterCombo(tbBeppyo, "cbLg", "大グループ選択");
  cbMg = NewFilterCombo(tbBeppyo, "cbMg", "中グループ選択");
  tbBeppyo->addWidget(cbLg);
  tbBeppyo->addWidget(cbMg);
  lay->addWidget(tbBeppyo);
  lvBeppyo1 = NewTableView(this, "lvBeppyo1", {"大作物群", "中作物群", "小作物群", "作物名", "別名", "収穫部位", "よみ"});
  lay->addWidget(lvBeppyo1, 1);
  InstallItemHints(lvBeppyo1, [](QTreeWidgetItem* it) { return QString::fromStdString(Beppyo1DetailText(*it)); });
  connect(cbLg, &QComboBox::activated, this, [this] { cbLgChange(); });
  connect(cbMg, &QComboBox::activated, this, [this] { cbMgChange(); });
  connect(lvBeppyo1, &QTreeWidget::itemClicked, this, [this] { emit RowClicked(); });
  connect(lvBeppyo1, &QTreeWidget::itemDoubleClicked, this, [this] { emit RowDoubleClicked(); });
}

void TCropGroupPage::FillFromCursor(TAcisDB& Db, int CaptionField, const std::vector<int>& SubFields) {
  FillTable(lvBeppyo1, Db, CaptionField, SubFields);
}

bool TCropGroupPage::LoadWholeTable() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists("tekiyosakumotsu")) return false;
  if (!db->Query("SELECT * FROM spec.tekiyosakumotsu", false)) return false;
  FillFromCursor(*db, 2, {3, 4, 5, 6, 8, 9});
  return true;
}

void TCropGroupPage::LoadSpecTables() {
  if (!LoadWholeTable()) return;
  TAcisDB& db = *Database();
  // The whole table is shown: no group is chosen, and the middle-group list offers the
  // middle groups of every large group.
  if (db.Query("SELECT DISTINCT lg FROM spec.beppyo1n", false)) {
    FillFilterCombo(cbLg, db);
    const QSignalBlocker block(cbLg);
    cbLg->setCurrentIndex(-1);
  }
  if (db.Query(Beppyo1AllMgListSql(), false)) {
    FillFilterCombo(cbMg, db);
    const QSignalBlocker block(cbMg);
    cbMg->setCurrentIndex(-1);
  }
}

void TCropGroupPage::cbLgChange() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists("beppyo1n")) return;
  const std::string lg = cbLg->currentText().toStdString();
  if (lg == kAllItems) {
    LoadSpecTables();
    return;
  }
  if (!db->Query(Beppyo1LgSql(lg), false)) return;
  FillFromCursor(*db, 0, {1, 2, 3, 4, 5, 6});
  if (db->Query(Beppyo1MgListSql(lg), false)) FillFilterCombo(cbMg, *db);
}

void TCropGroupPage::cbMgChange() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists("beppyo1n")) return;
  const std::string mg = cbMg->currentText().toStdString();
  std::string sql;
  if (cbLg->currentIndex() < 0) {
    // No large group chosen: a middle group of any of them, or the whole table again.
    if (mg == kAllItems) {
      LoadWholeTable();
      return;
    }
    sql = Beppyo1MgOnlySql(mg);
  } else {
    sql = Beppyo1MgSql(cbLg->currentText().toStdString(), mg);
  }
  if (!db->Query(sql, false)) return;
  FillFromCursor(*db, 0, {1, 2, 3, 4, 5, 6});
}

std::string TCropGroupPage::CurrentCropName() const { return CellText(lvBeppyo1, kNameColumn); }

// ---- CVO table ------------------------------------------------------------------------------

TCvoPage::TCvoPage(QWidget* Parent, std::string AllTable) : QWidget(Parent), FAllTable(std::move(AllTable)) {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(1);
  cbFamily = NewFilterCombo(this, "cbFamily", "大グループ選択");
  lay->addWidget(cbFamily);
  lvCVO = NewTableView(this, "lvCVO",
                       {"上位作物", "農作物名", "科名", "別名", "ひらがな", "学名", "英名", "収穫部位", "栽培方法", "用途",
                        "成熟度", "備考", "作物名", "ITガイドライン小分類", "食品分類表食品名", "食品標準成分表食品名",
                        "品種登録DB植物種類", "品種登録DB品種名称", "NCBI", "WikiPedia", "AGROVAC"});
  lay->addWidget(lvCVO, 1);
  InstallItemHints(lvCVO, [](QTreeWidgetItem* it) { return QString::fromStdString(CvoDetailText(*it)); });
  connect(cbFamily, &QComboBox::activated, this, [this] { cbFamilyChange(); });
  connect(lvCVO, &QTreeWidget::itemClicked, this, [this] { emit RowClicked(); });
  connect(lvCVO, &QTreeWidget::itemDoubleClicked, this, [this] { emit RowDoubleClicked(); });
}

void TCvoPage::FillFromCursor(TAcisDB& Db) {
  std::vector<int> sub;
  for (int f = 1; f < std::max(21, Db.FTbl->ColCount()); ++f) sub.push_back(f);
  // A table with more fields than the 21 columns fills sub-items that no column shows.
  if (lvCVO->columnCount() < static_cast<int>(sub.size()) + 1) {
    lvCVO->setColumnCount(static_cast<int>(sub.size()) + 1);
    for (int c = 21; c < lvCVO->columnCount(); ++c) lvCVO->setColumnHidden(c, true);
  }
  FillTable(lvCVO, Db, 0, sub);
}

void TCvoPage::LoadCvoFamilies() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists("cvo")) return;
  if (!db->Query(CvoFamiliesSql(), false)) return;
  FillFilterCombo(cbFamily, *db);
  // The families are offered; the table shows none of them yet.
  const QSignalBlocker block(cbFamily);
  cbFamily->setCurrentIndex(-1);
}

void TCvoPage::LoadCvoTable() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists(FAllTable)) return;
  lvCVO->clear();
  {
    TWaitCursor wait;
    if (db->Query(CvoAllSql(FAllTable), false)) FillFromCursor(*db);
  }
  LoadCvoFamilies();
  if (cbFamily->count() > 0) {
    const QSignalBlocker block(cbFamily);
    cbFamily->setCurrentIndex(0);  // every family is shown
  }
}

void TCvoPage::cbFamilyChange() {
  TAcisDB* db = Database ? Database() : nullptr;
  if (!db || !db->TableExists("cvo")) return;
  const std::string family = cbFamily->currentText().toStdString();
  if (family == kAllItems) {
    LoadCvoTable();
    return;
  }
  if (!db->Query(CvoFamilySql(family), false)) return;
  TWaitCursor wait;
  FillFromCursor(*db);
}

std::string TCvoPage::CurrentCropNames() const { return CvoCellToNames(CellText(lvCVO, kNameColumn)); }

// ---- settings and cursor ---------------------------------------------------------------------

void LoadColumnWidths(const TIniFile& Ini, QTreeWidget* View, const std::string& Prefix,
                      const std::vector<int>& Defaults, int MaxWidth) {
  for (int c = 0; c < View->columnCount(); ++c) {
    const int def = Defaults.empty() ? 50 : Defaults[std::min(static_cast<size_t>(c), Defaults.size() - 1)];
    int w = Ini.ReadInteger(SECTION_WINDOW, Prefix + std::to_string(c), def);
    if (w < 0) w = def;
    if (MaxWidth > 0 && w > MaxWidth) w = MaxWidth;
    View->setColumnWidth(c, w);
  }
}

void SaveColumnWidths(TIniFile& Ini, const QTreeWidget* View, const std::string& Prefix) {
  for (int c = 0; c < View->columnCount(); ++c)
    Ini.WriteInteger(SECTION_WINDOW, Prefix + std::to_string(c), View->columnWidth(c));
}

std::unique_ptr<TIniFile> OpenSettingsFile() {
  if (!OptionData || OptionData->IniFileName.empty()) return nullptr;
  return std::make_unique<TIniFile>(OptionData->IniFileName);
}

THintQueryGuard::THintQueryGuard(TAcisDB& Db) : FDb(Db), FSaved(std::move(Db.FTbl)) {}
THintQueryGuard::~THintQueryGuard() { FDb.FTbl = std::move(FSaved); }

TWaitCursor::TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
TWaitCursor::~TWaitCursor() { QApplication::restoreOverrideCursor(); }
