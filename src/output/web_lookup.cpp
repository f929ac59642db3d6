#include "output/web_lookup.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdlib>

#include "database/acis_db.h"
#include "foundation/message_sink.h"
#include "output/cp932_codec.h"

namespace {

// Which encoding a site reads its query text in.
enum class TTextEncoding { Utf8, Cp932 };

struct TLookupSite {
  const char* EnvVar;       // override of the base address
  const char* DefaultBase;  // scheme and host
  const char* Prefix;       // path and query keys before the text
  const char* Suffix;       // after the text: fixed keys; a site restriction is encoded below
  const char* SiteSearch;   // value of "as_sitesearch", or nullptr
  TTextEncoding Encoding;
  bool IsoName;             // the text becomes the ISO common name first
};

constexpr const char* kSearchEnv = "QUILLMAR_SEARCH_BASE";
constexpr const char* kSearchBase = "https://www.google.co.jp";
constexpr const char* kSiteSearchPrefix = "/search?hl=ja&as_q=";

// Order of TWebLookup.
constexpr TLookupSite kSites[] = {
    {kSearchEnv, kSearchBase, "/search?q=", "", nullptr, TTextEncoding::Utf8, false},
    {kSearchEnv, kSearchBase, kSiteSearchPrefix, "", "www.ffcr.or.jp/Zaidan/FFCRHOME.nsf/pages/MRLs-n",
     TTextEncoding::Utf8, true},
    {kSearchEnv, kSearchBase, kSiteSearchPrefix, "", "www.fcg-r.co.jp", TTextEncoding::Utf8, true},
    {"QUILLMAR_NIHS_BASE", "https://db.nihs.go.jp",
     "/dsifc/servlet/SearchApp?appkind=pestressearch&searchkind=list_page&searchcondition=chemical&key=", "",
     nullptr, TTextEncoding::Cp932, true},
    // The society's standards database; the host is the last one known to us: a site that
    // knows better sets QUILLMAR_PRDB_BASE.
    {"QUILLMAR_PRDB_BASE", "https://www.shokuhin.or.jp", "/prdb/details.pl?nname=", "&mode=mn", nullptr,
     TTextEncoding::Cp932, true},
    {kSearchEnv, kSearchBase, kSiteSearchPrefix, "", "www.gene.affrc.go.jp", TTextEncoding::Utf8, false},
    {"QUILLMAR_NOUKAWEB_BASE", "https://www.noukaweb.com", "/db/products/product_search?q=", "", nullptr,
     TTextEncoding::Utf8, false},
    {kSearchEnv, kSearchBase, kSiteSearchPrefix, "", "www.boujo.net", TTextEncoding::Utf8, false},
    {"QUILLMAR_WEBLIO_BASE", "https://www.weblio.jp", "/content/", "", nullptr, TTextEncoding::Utf8, false},
};
static_assert(sizeof kSites / sizeof kSites[0] == static_cast<size_t>(TWebLookup::Weblio) + 1);

const TLookupSite& Site(TWebLookup kind) { return kSites[static_cast<size_t>(kind)]; }

// Percent-encodes the bytes outside the unreserved set (a fixed value such as a site address).
std::string EncodeValue(std::string_view s) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

}  // namespace

std::string UrlEncodeBytes(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    out.push_back('%');
    out.push_back(hex[c >> 4]);
    out.push_back(hex[c & 15]);
  }
  return out;
}

std::string Cp932FormBytes(std::string_view utf8) {
  std::string out;
  while (!utf8.empty()) {
    TCp932Result r = Utf8ToCp932(utf8, out);
    if (r.Ok) break;
    const char* p = utf8.data() + r.BadOffset;
    char32_t cp = NextUtf8(p, utf8.data() + utf8.size());
    out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
    utf8.remove_prefix(static_cast<size_t>(p - utf8.data()));
  }
  return out;
}

bool LookupUsesIsoName(TWebLookup kind) { return Site(kind).IsoName; }

std::string LookupBase(TWebLookup kind) {
  const TLookupSite& s = Site(kind);
  const char* env = std::getenv(s.EnvVar);
  std::string base = env && *env ? env : s.DefaultBase;
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base;
}

std::string LookupUrl(TWebLookup kind, std::string_view text) {
  const TLookupSite& s = Site(kind);
  std::string bytes = s.Encoding == TTextEncoding::Cp932 ? Cp932FormBytes(text) : std::string(text);
  std::string url = LookupBase(kind) + s.Prefix + UrlEncodeBytes(bytes) + s.Suffix;
  if (s.SiteSearch) url += std::string("&as_sitesearch=") + EncodeValue(s.SiteSearch);
  return url;
}

bool OpenUrlInBrowser(const std::string& url) {
  QUrl u = QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
  if (u.isValid() && QDesktopServices::openUrl(u)) return true;
  ShowMessageBox(TMsgKind::Error, "Quillmar", "ブラウザでページを開けませんでした。\r\n" + url);
  return false;
}

void OpenWebLookup(TWebLookup kind, QWidget* owner, const std::string& text) {
  (void)owner;
  std::string t = text;
  if (LookupUsesIsoName(kind) && AcisDB) t = AcisDB->GetIso(text);
  OpenUrlInBrowser(LookupUrl(kind, t));
}

void WebSearch(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::WebSearch, owner, text); }
void SearchFfcrSite(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::FfcrSite, owner, text); }
void SearchFcgrSite(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::FcgrSite, owner, text); }
void SearchNihs(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::Nihs, owner, text); }
void SearchPrdb(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::Prdb, owner, text); }
void SearchGeneSite(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::GeneSite, owner, text); }
void SearchNoukaWeb(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::NoukaWeb, owner, text); }
void SearchPestControlSite(QWidget* owner, const std::string& text) {
  OpenWebLookup(TWebLookup::PestControlSite, owner, text);
}
void SearchWeblio(QWidget* owner, const std::string& text) { OpenWebLookup(TWebLookup::Weblio, owner, text); }

std::string GetSpecialFolderPath(int folder) {
  QStandardPaths::StandardLocation loc;
  switch (folder) {
    case CSIDL_PERSONAL: loc = QStandardPaths::DocumentsLocation; break;
    case CSIDL_DESKTOPDIRECTORY: loc = QStandardPaths::DesktopLocation; break;
    case CSIDL_APPDATA: loc = QStandardPaths::GenericConfigLocation; break;
    case CSIDL_LOCAL_APPDATA: loc = QStandardPaths::GenericDataLocation; break;
    case CSIDL_MYPICTURES: loc = QStandardPaths::PicturesLocation; break;
    default: loc = QStandardPaths::HomeLocation; break;
  }
  QString path = QStandardPaths::writableLocation(loc);
  // A folder the desktop names but nobody made (no "Documents" in a fresh home): the dialogs
  // that open there would fall back to the program's working folder.
  if (path.isEmpty() || !QFileInfo(path).isDir()) path = QDir::homePath();
  return path.toStdString();
}

bool ShellEditFile(QWidget* owner, const std::string& fileName) {
  (void)owner;
  QFileInfo fi(QString::fromStdString(fileName));
  if (fileName.empty() || !fi.isFile()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(fi.absoluteFilePath()));
}
