#pragma once
// TfrmUpdate: the data update window. A view over one TUpdateRunner (update_runner.h): its
// tool bar starts the whole update or aborts it, its pages show the steps of each data source
// with their files and a button per step, and its log and progress bar follow the runner.
// The opener sets AutoStart, OneStop, IgnoreCopyFailure or DownloadCheckStart, runs the window
// modally and reads Updated afterwards.
#include <QDialog>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "update/update_runner.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class TXPToolBar;

class TfrmUpdate : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmUpdate(QWidget* Owner = nullptr);
  ~TfrmUpdate() override;

  TUpdateRunner& Runner() { return *runner_; }
  // The opener's flags and the result, kept by the runner.
  bool& AutoStart() { return runner_->AutoStart; }
  bool& OneStop() { return runner_->OneStop; }
  bool& OldDb() { return runner_->OldDb; }
  bool& IgnoreCopyFailure() { return runner_->IgnoreCopyFailure; }
  bool& DownloadCheckStart() { return runner_->DownloadCheckStart; }
  bool Updated() const { return runner_->Updated; }
  // A JPP-NET table was made from the extension menu while the window was open.
  bool JppImported() const { return FJppImported; }
  int Mode() const { return runner_->Mode; }

  // ---- handlers ----
  void FormActivate();
  bool FormCloseQuery();
  void bAutoClick();
  void ckManualClick();
  void bDownClick();
  void btnAcisZipUnpackClick();
  void bUnpackClick();
  void bZipUnpackClick();
  void btnUnpackDBClick();
  void bXlsCnvClick();
  void bCsvToDBClick();
  void bAbortClick();
  void bCloseClick();
  void pgSiteChange();
  void rdVeskClick();
  void rdCustumClick();
  void cbVeskDBSiteChange();
  void btnDokuseiClick();
  void pmnJppSeibunClick();
  bool AutoUpdate();
  bool DownloadCheck();
  bool OneStopUpdate();
  void SetManualButtons(bool Enable);
  void EnableButtons(bool Enable);
  // The file label of a page is bold (the runner's Highlight).
  bool LabelBold(int Page, const std::string& Label) const;

  // ---- components ----
  TXPToolBar* ToolBar = nullptr;
  QToolButton *bAuto = nullptr, *ckManual = nullptr, *bExt = nullptr, *bAbort = nullptr, *bClose = nullptr;
  QTabWidget* pgSite = nullptr;
  QWidget *tabAcisCsv = nullptr, *tabAcis = nullptr, *tabVesk = nullptr, *TabSheet1 = nullptr;
  QPushButton *btnAcisCsvDown = nullptr, *bDown = nullptr, *bVeskDown = nullptr, *btnSQLiteDBDown = nullptr;
  QPushButton *btnAcisZipUnpack = nullptr, *bUnpack = nullptr, *bZipUnpack = nullptr, *btnUnpackDB = nullptr;
  QPushButton *btnAcisCsvToDb = nullptr, *bXlsCnv = nullptr, *bCsvToDB = nullptr;
  QRadioButton *rdVesk = nullptr, *rdCustum = nullptr;
  QComboBox* cbVeskDBSite = nullptr;
  QLineEdit* edtDownloadSite = nullptr;
  QLabel* lblSiteName = nullptr;
  QLabel* lblMirrorNote = nullptr;  // shown when the chosen mirror has no known host
  QPlainTextEdit* mLog = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QMenu* pmnExt = nullptr;
  QAction *pmnJppSeizai = nullptr, *pmnJppSeibun = nullptr;

 protected:
  void showEvent(QShowEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void reject() override;

 private:
  void FormCreate();
  QWidget* BuildPage(const std::vector<std::string>& Files, QPushButton** Down, QPushButton** Unpack,
                     QPushButton** Convert, const char* ConvertCaption, int Page);
  void BuildSQLiteDBPage();
  void SetBusy(bool On);
  // The JPP-NET product (Seizai) or ingredient file chosen by the user into jpp.db.
  void ImportJpp(bool Seizai);
  void ShowMirrorNote();
  // Runs one step unless another one is running (a step lets events through, so a second
  // button press could arrive while it runs).
  template <class F>
  bool Step(F&& f);

  std::unique_ptr<TUpdateRunner> runner_;
  std::vector<QPushButton*> downButtons_, stepButtons_;
  std::vector<std::multimap<std::string, QLabel*>> labels_;
  bool activated_ = false;
  bool busy_ = false;
  bool FJppImported = false;
  int running_ = 0;
};
