#pragma once
// Qt's own texts (the buttons of message boxes, file dialogs, the edit boxes' menus) in
// Japanese, as the rest of the program speaks: without them a Japanese question ends in
// "Yes / No / Cancel".
class QCoreApplication;

// Loads Qt's Japanese translation from Qt's translation folder and installs it on App; false
// when the translation is not there (the texts then stay English).
bool InstallQtJapaneseTexts(QCoreApplication& App);
