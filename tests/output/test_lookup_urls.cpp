// Web look-ups: addresses taken by a URL handler installed in the test, checked for the
// encoding each site reads; the byte encoder; temporary names; the shell helpers.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

#include <cstdlib>
#include <set>
#include <sys/stat.h>

#include "database/sample_acis_db.h"
#include "foundation/message_sink.h"
#include "output/cp932_codec.h"
#include "output/temp_files.h"
#include "output/web_lookup.h"

class TUrlRecorder : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> Urls;
  Q_INVOKABLE void Open(const QUrl& url) { Urls.push_back(url); }
};

namespace {

// Takes every https and file address the program asks the desktop to open.
struct TCapture {
  TUrlRecorder Rec;
  TCapture() {
    QDesktopServices::setUrlHandler("https", &Rec, "Open");
    QDesktopServices::setUrlHandler("file", &Rec, "Open");
  }
  ~TCapture() {
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("file");
  }
  std::string Last() const { return Rec.Urls.empty() ? "" : Rec.Urls.back().toEncoded().toStdString(); }
};

// The bytes of a query value, percent-decoded.
std::string QueryBytes(const std::string& url, const char* key) {
  const std::string q = url.substr(url.find('?') + 1);
  size_t start = 0;
  while (start <= q.size()) {
    size_t amp = q.find('&', start);
    std::string item = q.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
    if (item.rfind(std::string(key) + "=", 0) == 0)
      return QByteArray::fromPercentEncoding(QByteArray::fromStdString(item.substr(strlen(key) + 1))).toStdString();
    if (amp == std::string::npos) break;
    start = amp + 1;
  }
  return "<missing>";
}

int QueryItems(const std::string& url) {
  const std::string q = url.substr(url.find('?') + 1);
  return static_cast<int>(std::count(q.begin(), q.end(), '&')) + 1;
}

std::string Cp932(const std::string& utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932(utf8, out).Ok);
  return out;
}

// A text that breaks an address that is not fully encoded.
const std::string kHostile = "農薬 a&b=c#d?/+%20\"<>'\\;$(rm -rf x)`";

}  // namespace

TEST(UrlEncodeBytes, EveryByteAsUpperCaseTriple) {
  EXPECT_EQ(UrlEncodeBytes("abc"), "%61%62%63");
  EXPECT_EQ(UrlEncodeBytes(" "), "%20");
  EXPECT_EQ(UrlEncodeBytes(""), "");
  EXPECT_EQ(UrlEncodeBytes("農薬"), "%E8%BE%B2%E8%96%AC");
  EXPECT_EQ(UrlEncodeBytes(std::string("\x00\xff", 2)), "%00%FF");
  // Shift-JIS form bytes: a character without a CP932 form goes as a numeric reference.
  EXPECT_EQ(Cp932FormBytes("農薬"), "\x94\x5F\x96\xF2");
  EXPECT_EQ(Cp932FormBytes("a\xF0\x9F\x8D\x85z"), "a&#127813;z");
}

TEST(WebLookup, EachSiteGetsTheTextWhole) {
  TCapture cap;
  TLogMessageSink sink;
  TScopedMessageSink scoped(&sink);
  struct Case {
    void (*fn)(QWidget*, const std::string&);
    TWebLookup kind;
    const char* prefix;  // address up to the text
    const char* key;     // query key of the text (nullptr: the text is the last path segment)
    bool cp932;
    int items;           // query items in all
    const char* tail;    // fixed end of the address
  };
  const Case cases[] = {
      {WebSearch, TWebLookup::WebSearch, "https://www.google.co.jp/search?q=", "q", false, 1, ""},
      {SearchFfcrSite, TWebLookup::FfcrSite, "https://www.google.co.jp/search?hl=ja&as_q=", "as_q", false, 3,
       "&as_sitesearch=www.ffcr.or.jp%2FZaidan%2FFFCRHOME.nsf%2Fpages%2FMRLs-n"},
      {SearchFcgrSite, TWebLookup::FcgrSite, "https://www.google.co.jp/search?hl=ja&as_q=", "as_q", false, 3, "&as_sitesearch=www.fcg-r.co.jp"},
      {SearchNihs, TWebLookup::Nihs,
       "https://db.nihs.go.jp/dsifc/servlet/SearchApp?appkind=pestressearch&searchkind=list_page&"
       "searchcondition=chemical&key=",
       "key", true, 4, ""},
      {SearchPrdb, TWebLookup::Prdb, "https://www.shokuhin.or.jp/prdb/details.pl?nname=", "nname", true, 2, "&mode=mn"},
      {SearchGeneSite, TWebLookup::GeneSite, "https://www.google.co.jp/search?hl=ja&as_q=", "as_q", false, 3,
       "&as_sitesearch=www.gene.affrc.go.jp"},
      {SearchNoukaWeb, TWebLookup::NoukaWeb, "https://www.noukaweb.com/db/products/product_search?q=", "q", false, 1, ""},
      {SearchPestControlSite, TWebLookup::PestControlSite, "https://www.google.co.jp/search?hl=ja&as_q=", "as_q", false, 3,
       "&as_sitesearch=www.boujo.net"},
      {SearchWeblio, TWebLookup::Weblio, "https://www.weblio.jp/content/", nullptr, false, 0, ""},
  };
  for (const Case& c : cases) {
    cap.Rec.Urls.clear();
    c.fn(nullptr, kHostile);
    ASSERT_EQ(cap.Rec.Urls.size(), 1u) << c.prefix;
    const std::string url = cap.Last();
    SCOPED_TRACE(url);
    const std::string bytes = c.cp932 ? Cp932(kHostile) : kHostile;
    // The address built holds every byte of the text encoded; the desktop gets the same
    // address (Qt writes unreserved characters plainly, which means the same) in plain ASCII.
    const std::string built = LookupUrl(c.kind, kHostile);
    EXPECT_EQ(built, c.prefix + UrlEncodeBytes(bytes) + c.tail);
    EXPECT_EQ(url, QUrl::fromEncoded(QByteArray::fromStdString(built), QUrl::StrictMode).toEncoded().toStdString());
    for (unsigned char ch : url) EXPECT_TRUE(ch > 32 && ch < 127);
    if (c.key) {
      EXPECT_EQ(QueryBytes(url, c.key), bytes);
      EXPECT_EQ(QueryItems(url), c.items);
    } else {
      EXPECT_EQ(QByteArray::fromPercentEncoding(QByteArray::fromStdString(url.substr(strlen(c.prefix)))).toStdString(),
                bytes);
    }
    // Qt reads the same: nothing of the text leaks into the fragment or the path.
    EXPECT_TRUE(cap.Rec.Urls.back().fragment().isEmpty());
    EXPECT_EQ(cap.Rec.Urls.back().scheme(), "https");
  }
  // UTF-8 look-up of the word for pesticide: six triples.
  cap.Rec.Urls.clear();
  WebSearch(nullptr, "農薬");
  EXPECT_EQ(cap.Last(), "https://www.google.co.jp/search?q=%E8%BE%B2%E8%96%AC");
  EXPECT_EQ(cap.Rec.Urls.back().query(QUrl::FullyDecoded), "q=農薬");
  EXPECT_EQ(sink.Count(), 0u);
}

TEST(WebLookup, BaseAddressesFromTheEnvironment) {
  TCapture cap;
  setenv("QUILLMAR_SEARCH_BASE", "https://search.example.test/", 1);
  setenv("QUILLMAR_WEBLIO_BASE", "https://dict.example.test/prefix", 1);
  EXPECT_EQ(LookupUrl(TWebLookup::WebSearch, "x"), "https://search.example.test/search?q=%78");
  WebSearch(nullptr, "x y");
  EXPECT_EQ(cap.Last(), "https://search.example.test/search?q=x%20y");
  SearchWeblio(nullptr, "x");
  EXPECT_EQ(cap.Last(), "https://dict.example.test/prefix/content/x");
  unsetenv("QUILLMAR_SEARCH_BASE");
  unsetenv("QUILLMAR_WEBLIO_BASE");
  EXPECT_EQ(LookupBase(TWebLookup::WebSearch), "https://www.google.co.jp");
}

TEST(WebLookup, IngredientLookUpsUseTheIsoNameOfTheOpenDatabase) {
  OPEN_SAMPLE_DB(s);
  db.FDb->ExecSQL("INSERT INTO spec.iso(ippanmei, iso) VALUES ('テスト成分''s', 'test-iso (A&B)');");
  std::unique_ptr<TAcisDB> saved = std::move(AcisDB);
  AcisDB = std::move(s.Db);
  TCapture cap;
  SearchPrdb(nullptr, "テスト成分's");
  EXPECT_EQ(QueryBytes(cap.Last(), "nname"), "test-iso (A&B)");
  EXPECT_EQ(QueryItems(cap.Last()), 2);
  SearchNihs(nullptr, "テスト成分's");
  EXPECT_EQ(QueryBytes(cap.Last(), "key"), "test-iso (A&B)");
  SearchFcgrSite(nullptr, "テスト成分's");
  EXPECT_EQ(QueryBytes(cap.Last(), "as_q"), "test-iso (A&B)");
  // Without an ISO name the text itself: Shift-JIS for the residue database.
  SearchPrdb(nullptr, "未登録成分");
  EXPECT_EQ(QueryBytes(cap.Last(), "nname"), Cp932("未登録成分"));
  // The web search takes the text as it is, never the ISO name.
  WebSearch(nullptr, "テスト成分's");
  EXPECT_EQ(QueryBytes(cap.Last(), "q"), "テスト成分's");
  s.Db = std::move(AcisDB);
  AcisDB = std::move(saved);
}

TEST(TempFiles, UniqueNamesInAPrivateFolder) {
  const std::string dir = PrivateTempDir();
  ASSERT_FALSE(dir.empty());
  struct stat st {};
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_NE(dir, "/tmp/");
  std::set<std::string> names;
  for (int i = 0; i < 200; ++i) {
    const std::string name = MakeTempFileName(".html");
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.substr(name.size() - 5), ".html");
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir + name)));  // reserved
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 200u);
  EXPECT_EQ(MakeTempFileName("txt").substr(10), ".txt");
  const std::string path = MakeTempFilePath(".html");
  EXPECT_EQ(path.rfind(dir, 0), 0u);
  EXPECT_TRUE(RemoveTempFile(path));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path)));
  // A folder removed from under the program is made again.
  QDir(QString::fromStdString(dir)).removeRecursively();
  EXPECT_FALSE(MakeTempFilePath(".html").empty());
}

// Folders of runs that ended without tidying up (a crash, a kill) go at the next start; those of
// running processes, and folders of other names, stay.
TEST(TempFiles, FoldersOfEndedRunsAreRemovedByTheNextRun) {
  QTemporaryDir base;
  const QByteArray savedTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", base.path().toUtf8());
  QProcess ended;
  ended.start("/bin/sleep", {"0.1"});
  ASSERT_TRUE(ended.waitForStarted());
  const QString dead = QString::number(ended.processId());
  ASSERT_TRUE(ended.waitForFinished());
  const QString alive = QString::number(QCoreApplication::applicationPid() == 1 ? 2 : 1);  // init or kthreadd
  const QDir b(base.path());
  for (const QString& d : {"quillmar-" + dead + "-AbC123", "quillmar-" + alive + "-XyZ789", QString("quillmar-QwErTy"),
                           "quillmar-" + dead + "-notes", QString("quillmar-0")}) {
    ASSERT_TRUE(b.mkpath(d));
    QFile f(b.filePath(d + "/qm00000000.html"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  // This run's folder is made anew in the changed temporary folder, named after the process.
  QDir(QString::fromStdString(PrivateTempDir())).removeRecursively();
  const std::string dir = PrivateTempDir();
  EXPECT_EQ(dir.rfind(base.path().toStdString() + "/quillmar-" + std::to_string(QCoreApplication::applicationPid()) + "-", 0),
            0u)
      << dir;
  RemoveTempLeftovers();
  EXPECT_FALSE(b.exists("quillmar-" + dead + "-AbC123"));
  for (const QString& d : {"quillmar-" + alive + "-XyZ789", QString("quillmar-QwErTy"), "quillmar-" + dead + "-notes",
                           QString("quillmar-0")})
    EXPECT_TRUE(b.exists(d)) << d.toStdString();
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir)));
  QDir(QString::fromStdString(dir)).removeRecursively();
  qputenv("TMPDIR", savedTmp);
  if (savedTmp.isEmpty()) qunsetenv("TMPDIR");
}

TEST(ShellHelpers, EditOnlyExistingFilesAndSpecialFolders) {
  TCapture cap;
  EXPECT_FALSE(ShellEditFile(nullptr, "/nonexistent/markup.txt"));
  EXPECT_FALSE(ShellEditFile(nullptr, ""));
  EXPECT_TRUE(cap.Rec.Urls.empty());
  const std::string path = MakeTempFilePath(".txt");
  EXPECT_TRUE(ShellEditFile(nullptr, path));
  ASSERT_EQ(cap.Rec.Urls.size(), 1u);
  EXPECT_EQ(cap.Rec.Urls[0].toLocalFile().toStdString(), path);
  EXPECT_FALSE(GetSpecialFolderPath(CSIDL_PERSONAL).empty());
  EXPECT_EQ(GetSpecialFolderPath(12345), QDir::homePath().toStdString());
}

// A home without a documents folder: the save dialogs open in the home, never in whatever
// folder the program was started from.
TEST(ShellHelpers, SpecialFoldersThatDoNotExistFallBackToTheHome) {
  QTemporaryDir home;
  const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", home.path().toUtf8());
  qunsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PERSONAL), home.path().toStdString());
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY), home.path().toStdString());
  QDir(home.path()).mkdir("Documents");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PERSONAL), (home.path() + "/Documents").toStdString());
  qputenv("HOME", savedHome);
  if (!savedConfig.isEmpty()) qputenv("XDG_CONFIG_HOME", savedConfig);
}

#include "test_lookup_urls.moc"
