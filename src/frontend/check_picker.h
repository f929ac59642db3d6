#pragma once
// The common form of the small check-list pickers (uses, formulations): a check list, a "全て"
// box that sets every item to its own state, OK and キャンセル. The checked items are
// collected when the picker closes, whatever button closed it.
#include <QDialog>
#include <QStringList>
#include <string>
#include <vector>

class QCheckBox;
class QPushButton;
class QWidget;
class TCheckListBoxEx;

class TCheckPicker : public QDialog {
  Q_OBJECT

 public:
  TCheckPicker(QWidget* Owner, const QString& Caption, const char* ListName, const QStringList& Items, QSize Size);

  QCheckBox* ckAll = nullptr;
  QPushButton* Button1 = nullptr;  // "OK"
  QPushButton* Button2 = nullptr;  // "キャンセル"
  QWidget* pnlButtons = nullptr;   // the button panel under the list
  TCheckListBoxEx* List = nullptr;

  // Replaces the items (blank and empty texts are left out), all unchecked.
  void SetItems(const std::vector<std::string>& Items);
  // Checks exactly the items whose text equals one of the comma-text items of Text.
  void CheckCommaText(const std::string& Text);
  // Client height for all items: item count times item height, the button panel and 4.
  void FitHeightToItems();
  // Comma text of the items that were checked when the picker closed.
  std::string GetSelected() const;
  const std::vector<std::string>& Selected() const { return selected_; }

  void done(int Result) override;

 private:
  void ckAllClick();
  std::vector<std::string> selected_;
};

class QLineEdit;
// The template page's use of a check picker: the items equal to one of the comma-text items
// of Box are checked, the picker opens under Button, and OK replaces Box's text with the
// checked items. True after OK.
bool PickIntoBox(TCheckPicker& Picker, const QWidget* Button, QLineEdit* Box);
