#pragma once
// The pest picker of the template page "病害虫選択": finds crops by a word, lists the pests and
// diseases registered for the checked crops, and writes the checked pests into the caller's
// target box ("追加" appends, "置換" replaces; the picker stays open until "閉じる").
#include <QDialog>
#include <QStringList>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QWidget;
class TCheckListBoxEx;

class TfrmByochu : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmByochu(QWidget* Owner);

  // The pests last written to the target.
  QStringList SelectedList;
  // The caller's edit or memo (QLineEdit, QPlainTextEdit or QTextEdit); may be null.
  QWidget* TargetEdit = nullptr;

  QPushButton *btnAdd = nullptr, *btnReplace = nullptr, *btnCancel = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* edtInput = nullptr;
  QSplitter* Splitter1 = nullptr;
  TCheckListBoxEx* lstSakumotsu = nullptr;
  QWidget* pnlFilter = nullptr;
  QCheckBox* ckAll = nullptr;
  QComboBox* cboCID = nullptr;  // an empty item, then the pest classes
  QComboBox* cbOrder = nullptr;  // "文字コード順", "ID順"
  TCheckListBoxEx* lstByochu = nullptr;

  void SearchSakumotsu();
  void SearchByochu();
  void ckAllClick();
  // The text "追加" / "置換" write: the checked pests as comma text, half-width brackets
  // made full-width. Also refreshes SelectedList.
  std::string WrittenText();
  void btnAddClick();
  void btnReplaceClick();

 private:
  QString TargetText() const;
  void SetTargetText(const QString& Text);
};

class QLineEdit;
// The template page's use of the picker: size and crop-list height from section "WINDOW"
// ("DlgTplByochuWidth", "DlgTplByochuHeight", "DlgTplByochuSakumotsuListboxHeight"), the crop
// argument (every "'" removed) searched at once when not empty, the pest argument box as the
// target, opened under Button and run modally; the three keys are written back afterwards.
void ShowTemplatePestPicker(QWidget* Owner, const QWidget* Button, const QString& CropArgument, QWidget* Target);
