#pragma once
// How the small picker dialogs are opened: under the calling button, kept on the screen, run
// modally through one hook (so that tests and unattended runs never block on them), and
// sized from and back to the settings file.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <string>
#include <vector>

class QDialog;
class QWidget;

// Top-left corner for a picker of Size whose wanted corner is At: moved up or left by what
// would pass the bottom or right edge of Screen (never above or left of the screen's start).
QPoint PickerPosition(QPoint At, QSize Size, const QRect& Screen);
// Places the picker at the screen position of the button's lower-left corner, inside the
// screen that holds that point.
void PlacePickerAtButton(QWidget* Picker, const QWidget* Button);

// Runs a picker modally and returns its result (QDialog::Accepted or Rejected). With a hook
// installed the hook runs instead of the dialog's own event loop, and its result closes the
// picker (done()), so that what a picker collects on closing is there as after a real run.
using TPickerModalHook = std::function<int(QDialog&)>;
int ExecPicker(QDialog& Picker);
// Installs a hook (empty restores exec()); returns the previous one.
TPickerModalHook SetPickerModalHook(TPickerModalHook Hook);

// Picker sizes kept in section "WINDOW" of the settings file (nothing without settings).
QSize ReadPickerSize(const std::string& WidthKey, const std::string& HeightKey, QSize Default);
void WritePickerSize(const std::string& WidthKey, const std::string& HeightKey, QSize Size);

// The first column of every row of a query through AcisDB, each text once, in query order;
// empty when there is no database, the query failed (reported by the database object) or it
// returned no rows (with the no-data warning when Warn is set).
std::vector<std::string> QueryColumnUnique(const std::string& SQL, bool Warn);
// Names as an SQL list: 'a','b' with every quote doubled.
std::string QuotedSqlList(const std::vector<std::string>& Names);

// The check lists of the pickers: the texts of the checked items in list order; every item
// checked or unchecked; exactly the items whose text is one of Names checked.
class TCheckListBoxEx;
std::vector<std::string> CheckedTexts(const TCheckListBoxEx* List);
void CheckAllItems(TCheckListBoxEx* List, bool On);
void CheckNamedItems(TCheckListBoxEx* List, const std::vector<std::string>& Names);
