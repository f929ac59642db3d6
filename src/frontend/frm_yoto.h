#pragma once
// The use picker "用途選択": a check list of use categories; the caller reads the checked
// ones as comma text after OK (the template page's use argument, the crop tab's use filter).
#include "frontend/check_picker.h"

class TfrmYoto : public TCheckPicker {
  Q_OBJECT

 public:
  explicit TfrmYoto(QWidget* Owner);
  TCheckListBoxEx* lstYoto = nullptr;
};
