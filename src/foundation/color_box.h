#pragma once
// TColorBox: a drop-down list of colours, each shown with a swatch and its name: the sixteen
// standard colours, the colour last set when it is none of them, and "その他..." which asks the
// colour chooser for any colour. The value is a colour in the settings file's form (TColor).
#include <QColor>
#include <QComboBox>
#include <functional>

#include "foundation/font_rec.h"

class TColorBox : public QComboBox {
  Q_OBJECT

 public:
  explicit TColorBox(QWidget* parent = nullptr);

  TColor Selected() const;
  // Selects the colour; one that is not in the list is added before "その他...".
  void SetSelected(TColor Color);

  // The colour chooser "その他..." opens (Color in: the current colour; true when one was
  // chosen). Empty: QColorDialog. Tests set it so that nothing modal opens.
  static std::function<bool(QColor& Color, QWidget* Owner)> ChooseColor;

 signals:
  void ColorChanged(TColor Color);

 private:
  void AddColor(TColor Color, const QString& Name, int At);
  void OnActivated(int Index);
  int FLast = 0;  // the item selected before "その他..." was picked
};

// The colour chooser of the program's dialogs: the hook above when set, else QColorDialog
// opened on Color with the first custom colour set to it.
bool ChooseColorDialog(QColor& Color, QWidget* Owner, const QString& Title = QString());
