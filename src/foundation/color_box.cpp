#include "foundation/color_box.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

std::function<bool(QColor&, QWidget*)> TColorBox::ChooseColor;

namespace {

struct TNamedColor {
  TColor Color;
  const char* Name;
};

// The standard colours in the settings file's form (00BBGGRR).
constexpr TNamedColor kStandard[] = {
    {0x000000, "黒"},     {0x000080, "栗色"},   {0x008000, "緑"},   {0x008080, "オリーブ"},
    {0x800000, "紺"},     {0x800080, "紫"},     {0x808000, "青緑"}, {0x808080, "灰色"},
    {0xC0C0C0, "銀色"},   {0x0000FF, "赤"},     {0x00FF00, "ライム"}, {0x00FFFF, "黄"},
    {0xFF0000, "青"},     {0xFF00FF, "赤紫"},   {0xFFFF00, "水色"}, {0xFFFFFF, "白"},
};

constexpr int kOtherRole = Qt::UserRole + 1;

QIcon Swatch(const QColor& c) {
  QPixmap pm(16, 12);
  pm.fill(c);
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.drawRect(0, 0, pm.width() - 1, pm.height() - 1);
  return QIcon(pm);
}

}  // namespace

bool ChooseColorDialog(QColor& Color, QWidget* Owner, const QString& Title) {
  if (TColorBox::ChooseColor) return TColorBox::ChooseColor(Color, Owner);
  QColorDialog::setCustomColor(0, Color);
  const QColor c = QColorDialog::getColor(Color, Owner, Title);
  if (!c.isValid()) return false;
  Color = c;
  return true;
}

TColorBox::TColorBox(QWidget* parent) : QComboBox(parent) {
  for (const TNamedColor& c : kStandard) AddColor(c.Color, QString::fromUtf8(c.Name), count());
  addItem("その他...");
  setItemData(count() - 1, true, kOtherRole);
  connect(this, qOverload<int>(&QComboBox::activated), this, [this](int i) { OnActivated(i); });
}

void TColorBox::AddColor(TColor Color, const QString& Name, int At) {
  insertItem(At, Swatch(ColorToQColor(Color)), Name, QVariant::fromValue<qulonglong>(Color));
}

TColor TColorBox::Selected() const {
  const int i = FLast >= 0 && FLast < count() ? FLast : 0;
  return static_cast<TColor>(itemData(i).toULongLong());
}

void TColorBox::SetSelected(TColor Color) {
  int found = -1;
  for (int i = 0; i < count(); ++i)
    if (!itemData(i, kOtherRole).toBool() && static_cast<TColor>(itemData(i).toULongLong()) == Color) found = i;
  if (found < 0) {
    found = count() - 1;  // before "その他..."
    AddColor(Color, QString::fromStdString(ColorToHex(Color)), found);
  }
  FLast = found;
  setCurrentIndex(found);
}

void TColorBox::OnActivated(int Index) {
  if (!itemData(Index, kOtherRole).toBool()) {
    FLast = Index;
    emit ColorChanged(Selected());
    return;
  }
  QColor c = ColorToQColor(Selected());
  if (ChooseColorDialog(c, this)) {
    SetSelected(QColorToColor(c));
    emit ColorChanged(Selected());
  } else {
    setCurrentIndex(FLast);
  }
}
