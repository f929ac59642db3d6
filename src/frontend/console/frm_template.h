#pragma once
// TfrmTemplate "定型処理": the page of the main window's template tab. The user opens an SQL
// template file (".tpl", an HTML page describing a ready-made query), reads it in the embedded
// browser, fills the arguments the template uses (crops, pests, uses, formulations and a free
// text) with the pickers or by hand, keeps argument sets in ".arg" files, and runs the template
// into the result grid gdTemplate or hands the expanded SQL to the SQL console.
//
// The SQL is always taken from the template file's text (UTF-8 or CP932), never from the
// browser's document, which rewrites placeholders such as <sakumotsu> as elements. The
// browser is created when the description page is first shown.
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "database/sql_template.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QSplitterHandle;
class QTabWidget;
class TPageView;
class TfrmMain;
class TXlsStringGrid;

class TfrmTemplate : public QWidget {
  Q_OBJECT

 public:
  // Adopts the main window's template grid (TfrmMain::TemplateGrid) as gdTemplate.
  explicit TfrmTemplate(TfrmMain& Main);
  ~TfrmTemplate() override;

  // Empties the five argument boxes (the main window's clear action on this tab).
  void ClearArgs();
  // The five command buttons, the four picker buttons and the five boxes together.
  void EnableControls(bool Enabled);
  // "テンプレート選択" needs a database, "設定読込" a database and an open template.
  void FollowDatabase(bool Open);

  void btnTplLoadClick();
  // Opens a template file: its text sets up the arguments, the browser shows it. False (with
  // a message) when the file cannot be read.
  bool LoadTemplateFile(const QString& FileName);
  void btnTplExecClick();
  void btnTplEditClick();
  void btnTplArgLoadClick();
  void btnTplArgSaveClick();
  void btnTplSakumotsuClick();
  void btnTplByochuClick();
  void btnTplYotoClick();
  void btnTplZaikeiClick();

  // The file of the open template ("" before one is opened: the help page).
  const QString& TemplateFile() const { return FFile; }
  // The argument boxes as the engine sees them.
  TTemplateArgBoxes& Boxes();
  // The browser (null until the description page was first shown).
  TPageView* Browser() const { return wbTemplate; }

  // The help page shown before any template is opened.
  static QString HelpHtml();

  // Controls (names as the rest of the program knows them).
  QWidget* pnlTplButtons = nullptr;
  QPushButton *btnTplLoad = nullptr, *btnTplExec = nullptr, *btnTplEdit = nullptr, *btnTplArgLoad = nullptr,
              *btnTplArgSave = nullptr;
  QSplitter* splTemplate = nullptr;  // the argument panels, the spacer and the pages
  QWidget *pnlTplSakumotsu = nullptr, *pnlTplByochu = nullptr, *pnlTplYoto = nullptr, *pnlTplZaikei = nullptr,
          *pnlTplSonota = nullptr, *pnlTplLowerSpace = nullptr;
  QPushButton *btnTplSakumotsu = nullptr, *btnTplByochu = nullptr, *btnTplYoto = nullptr, *btnTplZaikei = nullptr;
  QLabel* lblTplSonota = nullptr;
  QPlainTextEdit *edtTplSakumotsu = nullptr, *edtTplByochu = nullptr, *edtTplSonota = nullptr;
  QLineEdit *edtTplYoto = nullptr, *edtTplZaikei = nullptr;
  QTabWidget* pagTemplate = nullptr;
  QWidget *tshTplSource = nullptr, *tshTplResult = nullptr;
  TPageView* wbTemplate = nullptr;
  TXlsStringGrid* gdTemplate = nullptr;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void changeEvent(QEvent* Event) override;

 private:
  class TBoxes;
  void BuildControls();
  // The description and result pages never shrink below their tabs and a few lines of text:
  // the argument boxes above give way first.
  void KeepPageRoom();
  QWidget* ArgPanel(const char* Name, QWidget* Caption, QWidget* Box);
  void CreateBrowser();
  void ShowInBrowser();
  // The expanded SQL of the open template ("" after the engine's message).
  std::string BuildSql();
  void WriteLog(const QString& Line);

  TfrmMain& main_;
  TSqlTemplate FTpl;
  std::unique_ptr<TBoxes> FBoxes;
  std::string FHtml;
  QString FFile;
};

// Builds the template page into the main window's template tab (in the place of the panel
// fplTemplate, keeping its name) and has the window's clear action empty its arguments.
TfrmTemplate* InstallTemplatePage(TfrmMain& Main);
