#pragma once
// The two first-run dialogs: where the data come from (TfrmStartup) and where the downloaded
// archives are kept (TfrmStartup2). Each writes its choice into OptionData when "設定" is
// pressed; "中止", Escape and the window's close button leave Cancelled set and the settings
// as they were.
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TfrmStartup : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmStartup(QWidget* Owner = nullptr);
  ~TfrmStartup() override;

  bool Cancelled = false;

  // The chosen item of rgDownSite (0..3).
  int DownSiteIndex() const;
  void SetDownSiteIndex(int Index);

  void ckUseLANClick();
  void btnLANClick();
  void bDownSiteSetClick();
  void bDownSiteCancelClick();
  // A folder dropped from the file manager onto edtLAN.
  void DropFolder(const QString& Path);

  QGroupBox* rgDownSite = nullptr;
  QButtonGroup* rgDownSiteButtons = nullptr;
  QComboBox* cbVeskDBSite = nullptr;
  QCheckBox* ckUseLAN = nullptr;
  QLabel* lblFolder = nullptr;
  QLineEdit* edtLAN = nullptr;
  QPushButton* btnLAN = nullptr;
  QLabel* lblMirrorNote = nullptr;  // a mirror item is chosen but no mirror host is known
  QPushButton *bDownSiteSet = nullptr, *bDownSiteCancel = nullptr;

 protected:
  void reject() override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void ShowMirrorNote();
  // A mirror source chosen without a shared folder and without a known mirror host.
  bool MirrorUnusable() const;
};

class TfrmStartup2 : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmStartup2(QWidget* Owner = nullptr);

  bool Cancelled = false;

  void btnSaveFolderClick();
  void ckRelativePathClick();
  void btnOKClick();
  void Button2Click();

  QGroupBox* GroupBox1 = nullptr;
  QLineEdit* edtSaveFolder = nullptr;
  QPushButton* btnSaveFolder = nullptr;
  QCheckBox* ckRelativePath = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton *btnOK = nullptr, *Button2 = nullptr;

 protected:
  void reject() override;
};
