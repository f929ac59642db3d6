#pragma once
// The formulation picker "剤型選択": a check list of formulations; the caller reads the checked
// ones as comma text after OK (the template page's formulation argument, the crop tab's
// formulation filter).
#include "frontend/check_picker.h"

class TfrmZaikei : public TCheckPicker {
  Q_OBJECT

 public:
  explicit TfrmZaikei(QWidget* Owner);
  TCheckListBoxEx* lstZaikei = nullptr;
};
