#pragma once
// The pest search of the main window's pest tab "病害虫": the pests, diseases, weeds or purposes
// named by the keywords of edtByochu (names and aliases) give the working tables tByochu (the
// matched names) and ttTekiyoByochu (every use of every product registered against one of
// them); the grid gdByochu shows the rows of the current result view whose pest or purpose was
// found, and the crop combo cbTabByochuSakumotu narrows them to chosen crops (with their higher
// crop groups).  The pest picker TDlgByogai helps to type the keywords; the crop picker of the
// tab offers the crops of the result.
//
// TPestSearch is the pest tab's search handler (InstallPestSearch builds the tab's top row in
// the place of the window's placeholder row and installs the handler).
#include <QObject>
#include <QString>
#include <map>
#include <string>

#include "frontend/search_tab.h"

class QWidget;
class TfrmMain;
struct TPestCondition;

class TPestSearch : public QObject, public TSearchTabHandler {
  Q_OBJECT

 public:
  explicit TPestSearch(TfrmMain& Main);
  ~TPestSearch() override;

  // ---- operations ----
  void SearchByochu();
  // The search action follows the keyword box: enabled exactly when it is not empty.
  void edtByochuChange();
  // The crop filter of cbTabByochuSakumotu's text.
  void cbTabByochuSakumotuSelect();
  // The pest picker (then the search) and the crop picker (then the crop filter).
  void btnTabByochuClick();
  void btnTabByochuSakuClick();
  // After a display-mode change: the crop filter again on the new view.
  void RefreshByochuTab() { cbTabByochuSakumotuSelect(); }

  // ---- TSearchTabHandler ----
  void Search() override;
  void ClearConditions() override;
  void Redisplay() override { RefreshByochuTab(); }
  void EnableInputs(bool Enabled) override;
  // Keywords typed.
  bool CanSearch() const override;

  // Figures of the last search (seconds): the script, and script plus display.
  double LastSqlSeconds = 0;
  double LastShowSeconds = 0;
  // Searches that ran their SQL.
  int SearchCount = 0;

 private:
  void ConnectControls();
  std::string ViewName();
  bool RunScript(const TPestCondition& Condition);
  void ShowResult();
  // No result (nothing found, or the script failed): grid and crop list emptied, CountText
  // ("0件" or nothing) in the tab's record.
  void ClearResult(const QString& CountText);
  // Loads SQL into the grid; a query without rows empties the grid and counts "0件" (the
  // previous rows never stay under a filter that matches nothing).
  bool ShowInGrid(const std::string& SQL);
  void SetWanted(QWidget* W, bool Enabled);
  void QueueCropFilter();

  TfrmMain& m_;
  std::map<QWidget*, bool> wanted_;
  bool filterQueued_ = false;
};

// Builds the pest tab's top row (edtByochu, btnTabByochu, btnTabByochuSaku,
// cbTabByochuSakumotu) in the place of the window's placeholder row, and installs the pest
// search as the tab's handler (owned by the window).
TPestSearch* InstallPestSearch(TfrmMain& Main);
