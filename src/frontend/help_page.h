#pragma once
// The page the online-help item (F1) opens: the address in the settings key "HelpUrl" of
// [OPTIONS] when one is set, otherwise the help shipped inside the program (the README it
// was built with), laid out as "quillmar-help.html" in the program folder.
#include <QString>
#include <QUrl>

// The help text as HTML (the README rendered, with the program's name as title).
QString HelpPageHtml();
// The address to open: the settings' address, or the laid-out help page (written when it is
// missing or differs; into the program's private temporary folder when the program folder is
// not writable).
// Empty when neither can be had.
QUrl HelpPageUrl();

// Opens the help page (HelpPageUrl) in the desktop's browser.  When there is none, or the
// desktop cannot open it (no opener installed), the message sink says so, naming the page's
// file and its address so that the user can open it by hand.
void OpenHelpPage();
