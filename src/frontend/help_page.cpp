#include "frontend/help_page.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

#include "foundation/global.h"
#include "foundation/ini_file.h"
#include "foundation/message_sink.h"
#include "foundation/options.h"
#include "output/temp_files.h"

namespace {

// README.md as it was when the program was built.
constexpr const char kReadme[] =
#include "readme_text.inc"
    ;

constexpr const char kHelpFile[] = "quillmar-help.html";

// Writes Html to Path unless the file already holds it.
bool LayOut(const QString& Path, const QByteArray& Html) {
  QFile old(Path);
  if (old.open(QIODevice::ReadOnly) && old.readAll() == Html) return true;
  old.close();
  QSaveFile f(Path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(Html);
  return f.commit();
}

}  // namespace

QString HelpPageHtml() {
  QTextDocument doc;
  doc.setMarkdown(QString::fromUtf8(kReadme));
  doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Quillmar ヘルプ"));
  return doc.toHtml();
}

QUrl HelpPageUrl() {
  if (OptionData) {
    const std::string address = TIniFile(OptionData->IniFileName).ReadString("OPTIONS", "HelpUrl", "");
    if (!address.empty()) return QUrl::fromUserInput(QString::fromStdString(address));
  }
  const QByteArray html = HelpPageHtml().toUtf8();
  QStringList folders;
  if (OptionData && !OptionData->AppDir.empty()) folders << QString::fromStdString(OptionData->AppDir);
  // Not writable there: the program's private temporary folder.
  folders << QString::fromStdString(PrivateTempDir());
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    const QString path = QDir(folder).absoluteFilePath(QString::fromLatin1(kHelpFile));
    if (LayOut(path, html)) return QUrl::fromLocalFile(path);
  }
  return {};
}

void OpenHelpPage() {
  const QUrl help = HelpPageUrl();
  if (help.isEmpty()) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", "ヘルプを開けません。");
    return;
  }
  if (QDesktopServices::openUrl(help)) return;
  // No browser the desktop knows of: where the page is, to be opened by hand.
  std::string where;
  if (help.isLocalFile()) where = QDir::toNativeSeparators(help.toLocalFile()).toStdString() + "\r\n";
  where += help.toString(QUrl::FullyEncoded).toStdString();
  ShowMessageBox(TMsgKind::Error, "Quillmar",
                 "ヘルプのページを開くブラウザーが見つかりませんでした。次のページを開いてください。\r\n" + where);
}
