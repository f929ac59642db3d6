#pragma once
// The result windows' routes through the HTML view: the page shown in a view of its own (the
// HTML save), or sent to a spreadsheet program by a view made only for that (minimised, its
// export run, then freed, whatever the export's outcome).
#include <QString>

#include "output/result_page.h"

class QWidget;

// `route` -1: show the page (caption as given); 0..3: the export of that spreadsheet kind.
// Returns the export's result (1 done, 0 nothing to do, -1 no program, -2 failed) or, for the
// view, 1 when the page loaded.
int RunHtmlViewRoute(QWidget* owner, const TResultPage& page, const QString& caption, int route);
