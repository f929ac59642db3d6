#pragma once
// The searches of the main window's tabs plug in here: the main window's search action,
// "条件消去" and the display-mode redisplay call the handler of the active tab.

class TSearchTabHandler {
 public:
  virtual ~TSearchTabHandler() = default;
  // The search action (Ctrl+T) on this tab; AcisDB exists when it is called.
  virtual void Search() = 0;
  // "条件消去": clears the tab's own conditions beyond the shell's controls.
  virtual void ClearConditions() {}
  // A display mode changed while the tab's grid shows a result: show it again.
  virtual void Redisplay() {}
  // The tab's own inputs are switched with the shell's (a search or grid query runs).
  virtual void EnableInputs(bool Enabled) { (void)Enabled; }
  // The tab's inputs give the search something to do (crops chosen, keywords typed, ...): the
  // search action is enabled on this tab exactly then.
  virtual bool CanSearch() const { return true; }
  // Whether a database is open: the tab's own controls that only work with one follow it.
  // Called when the handler is installed, when a database was opened and whenever the inputs
  // come back after a search or grid query.
  virtual void FollowDatabase(bool Open) { (void)Open; }
};
