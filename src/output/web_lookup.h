#pragma once
// Web look-ups: a text from a result cell (trade name, ingredient, crop or pest name) looked up
// on an outside site in the desktop's browser; and the small shell routines the output windows
// share.  The browser is reached through QDesktopServices (never a shell command line), so a
// test or another front end can take the addresses with QDesktopServices::setUrlHandler.
//
// Every address is https and fully percent-encoded: the text in the encoding the site reads
// (UTF-8 for the search engine and the UTF-8 sites, Shift-JIS (CP932) for the two older
// residue databases).  The base address of each site is built in and can be overridden by
// environment (scheme and host, optional path prefix, no trailing "/"):
//   QUILLMAR_SEARCH_BASE    the web search engine ("https://www.google.co.jp")
//   QUILLMAR_NIHS_BASE      the health-science institute's residue search
//   QUILLMAR_PRDB_BASE      the pesticide-residue standards database
//   QUILLMAR_NOUKAWEB_BASE  the farm-products site
//   QUILLMAR_WEBLIO_BASE    the online dictionary
#include <string>
#include <string_view>

class QWidget;

// Every byte of the text as "%" and two upper-case hexadecimal digits ("abc" -> "%61%62%63").
std::string UrlEncodeBytes(std::string_view text);
// The CP932 bytes of a UTF-8 text, for sites that read Shift-JIS.  A character CP932 lacks is
// sent the way a browser sends it in a Shift-JIS form: as the numeric reference "&#NNNN;".
std::string Cp932FormBytes(std::string_view utf8);

enum class TWebLookup {
  WebSearch,          // general web search (UTF-8)
  FfcrSite,           // search restricted to the food-chemical foundation's residue pages (ISO name)
  FcgrSite,           // search restricted to the product-research institute's site (ISO name)
  Nihs,               // the institute's residue search (ISO name, Shift-JIS)
  Prdb,               // the residue standards database (ISO name, Shift-JIS)
  GeneSite,           // search restricted to the agricultural gene-bank site
  NoukaWeb,           // farm-products site
  PestControlSite,    // search restricted to the pest-control information site
  Weblio,             // online dictionary
};

// The look-ups that take the ISO common name of an ingredient (TAcisDB::GetIso) in place of
// the text.
bool LookupUsesIsoName(TWebLookup kind);

// The address of a look-up for a text that is already prepared (the ISO name where the look-up
// takes one).  Percent-encoded throughout; ASCII only.
std::string LookupUrl(TWebLookup kind, std::string_view text);

// Prepares the text (ISO name through the open database where the look-up takes one) and opens
// the address in the desktop's browser.  Returns at once; a browser that cannot be started is
// reported through the message sink.  `owner` is only the parent of that message.
void OpenWebLookup(TWebLookup kind, QWidget* owner, const std::string& text);

// The look-ups by their usual names.
void WebSearch(QWidget* owner, const std::string& text);
void SearchFfcrSite(QWidget* owner, const std::string& text);
void SearchFcgrSite(QWidget* owner, const std::string& text);
void SearchNihs(QWidget* owner, const std::string& text);
void SearchPrdb(QWidget* owner, const std::string& text);
void SearchGeneSite(QWidget* owner, const std::string& text);
void SearchNoukaWeb(QWidget* owner, const std::string& text);
void SearchPestControlSite(QWidget* owner, const std::string& text);
void SearchWeblio(QWidget* owner, const std::string& text);

// Opens an address (already encoded) in the desktop's browser; false, with a message through
// the sink, when it cannot.
bool OpenUrlInBrowser(const std::string& url);

// Base address of a look-up's site (environment override or built-in), no trailing "/".
std::string LookupBase(TWebLookup kind);

// CSIDL numbers of the shell folders the program asks for.
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x10;
inline constexpr int CSIDL_PERSONAL = 0x05;  // documents
inline constexpr int CSIDL_APPDATA = 0x1a;
inline constexpr int CSIDL_LOCAL_APPDATA = 0x1c;
inline constexpr int CSIDL_MYPICTURES = 0x27;
inline constexpr int CSIDL_PROFILE = 0x28;
// The folder of a shell special folder number, on this desktop (the user's documents for
// CSIDL_PERSONAL, and so on); the home folder for a number without a counterpart.  No
// trailing "/".
std::string GetSpecialFolderPath(int folder);

// Opens an existing file in the desktop's application for it (a ".txt" file in the text
// editor); nothing when the file does not exist.  Returns whether an open was asked for.
bool ShellEditFile(QWidget* owner, const std::string& fileName);
