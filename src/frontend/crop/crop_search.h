#pragma once
// The crop search of the main window's crop tab: the crops chosen in the crop-selection frame
// (and, optionally, neighbouring crops) give every registered use of every product on them in
// the working table ttTekiyoSaku; the grid gdTekiyo shows it through the view the display
// mode names, and the filter bar (pest, purpose, use, formulation) narrows the shown rows by
// re-querying that view. The filter pickers open from the bar's buttons.
//
// TCropSearch is the crop tab's search handler of the main window (InstallCropSearch); the
// operations keep the names the rest of the program knows them by.
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frontend/search_tab.h"

class QComboBox;
class QWidget;
class TfrmMain;
class TfrmSakuByochu;

// "SELECT <columns of ttTekiyoSaku> FROM tekiyo WHERE sakumotsu IN (...) AND idsaku IN (SELECT
// idsaku FROM m_sakumotsu WHERE idsaku REGEXP <Regexp>" (no closing bracket): the uses on the
// crops whose codes match; Regexp is a quoted SQL literal.
std::string TekiyoSakuSelect(const std::string& Regexp);
// The script of a search without neighbour crops (lines separated by CR LF).
std::string QuerySakumotsu2(const std::string& Regexp);
// The script with neighbour crops: every use on the selected crops and on the neighbour crops
// of the products registered on both sides, ordered by registration number. A use whose crop
// the two sides share (a name on both, or a group covered by both) is listed once.
std::string QuerySakumotsuKinsetsuScript(const std::string& MainRegexp, const std::string& KinsetsuRegexp);

class TCropSearch : public QObject, public TSearchTabHandler {
  Q_OBJECT

 public:
  explicit TCropSearch(TfrmMain& Main);
  ~TCropSearch() override;

  // Where the search reads the main and the neighbour crop text (comma text of crop names).
  // By default the main window's edits eSakumotsu and eKinsetsuSakumotsu; the crop-selection
  // frame sets its own Selection / Kinsetsu here.
  std::function<QString()> SelectionText;
  std::function<QString()> KinsetsuText;
  // The names of those texts that came in on a chosen crop's behalf (they stand for their
  // own registrations only); none by default.
  std::function<std::vector<std::string>()> SelectionAdded;
  std::function<std::vector<std::string>()> KinsetsuAdded;
  // The crop-selection frame's share of the tab: its commands follow the database whenever
  // the tab's inputs are switched (searches, grid queries), and "条件消去" clears its ticks.
  std::function<void()> UpdateFrameCommands;
  std::function<void()> ClearFrameSelection;

  // ---- the search ----
  void SearchTekiyoBySakumotsu();
  // The neighbour-crop script for the main window's current texts.
  std::string QuerySakumotsuKinsetsu();

  // ---- filter lists and filters ----
  void FillByochuCombo();
  void FillMokutekiCombo();
  void FillZaikeiCombo();
  void FilterTekiyoByByochu();
  void FilterTekiyoByMokuteki();
  void FilterTekiyoByYoto();
  void FilterTekiyoByZaikei();
  void RefreshTekiyoFilter();
  // Enter in edtYoto: the three lists again, then the use filter.
  void edtYotoEnter();

  // ---- pickers ----
  void btnByochuClick();
  void btnMokutekiClick();
  void btnYotoClick();
  void btnZaikeiClick();

  // ---- TSearchTabHandler ----
  void Search() override { SearchTekiyoBySakumotsu(); }
  void ClearConditions() override;
  void Redisplay() override { RefreshTekiyoFilter(); }
  void EnableInputs(bool Enabled) override;
  // Main crops chosen.
  bool CanSearch() const override { return SelectionText && !SelectionText().isEmpty(); }

  // Figures of the last search (seconds): the script, and script plus display.
  double LastSqlSeconds = 0;
  double LastShowSeconds = 0;
  // Searches that ran their SQL.
  int SearchCount = 0;

 private:
  void ConnectControls();
  std::string ViewName();
  void FillFilterCombo(QComboBox* Combo, QWidget* Button, const std::string& SQL);
  // A failed or empty search: grid, count, working table and filter lists emptied together.
  void ClearResult(const QString& CountText);
  bool ShowResult();
  bool RunScript(const std::string& Script);
  void SetWanted(QWidget* W, bool Enabled);
  QString FilterText(QComboBox* Combo) const;
  bool HasWords(QComboBox* Combo) const;
  // The combo's text with every "％" as "%" (written back into the combo).
  std::string PercentFilterText(QComboBox* Combo);
  // The pest (or purpose) filter of Combo on Field; clears the other one's text.
  void WordFilter(QComboBox* Combo, const char* Field, QComboBox* Other);
  // The pest or purpose picker Dlg run for Combo (its names ticked, opened under Button, its
  // size kept under the two keys); after OK the ticked names are the combo's text. True then.
  bool PickWords(TfrmSakuByochu& Dlg, QComboBox* Combo, QWidget* Button, const char* WidthKey, const char* HeightKey);
  // Enter and item choice in a filter combo arrive as one queued request.
  void QueueFilter(int Kind);
  // The texts of the filter bar (pest, purpose, use, formulation).
  struct TFilterTexts {
    QString Byochu, Mokuteki, Yoto, Zaikei;
  };
  TFilterTexts CurrentFilterTexts() const;
  // Shows a filter query in the grid; when it shows nothing new, the bar gets back the texts
  // of the rows the grid still shows.
  void ShowFiltered(const std::string& SQL);

  TfrmMain& m_;
  // The added names of the last search's two texts.
  std::vector<std::string> selectionAdded_, kinsetsuAdded_;
  // The filter texts of the rows the grid shows.
  TFilterTexts shownFilter_;
  std::map<QWidget*, bool> wanted_;
  int pendingFilter_ = -1;
};

// Creates the crop search, binds it to the crop tab's controls and installs it as the tab's
// search handler (owned by the window).
TCropSearch* InstallCropSearch(TfrmMain& Main);
