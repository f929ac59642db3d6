#pragma once
// Where the registration data live: the public service's pages and archives, the four Vesk
// mirrors and an own site, the local names of the downloaded copies, and the archive names
// read from the public service's CSV page.
//
// Addresses. Built-in defaults are the real services; two environment variables override them
// (read at every call, so a test or a site with its own copy can point the program elsewhere):
//   QUILLMAR_ACIS_BASE      scheme, host and optional path prefix of the public service
//                           ("http://127.0.0.1:8080"); "/ddata/..." is appended to it.
//   QUILLMAR_MIRROR_BASE    base of every mirror ("http://127.0.0.1:8080" or
//                           "http://127.0.0.1:8080/data/"); "/data/" is appended unless the
//                           value already ends with it.
//   QUILLMAR_MIRROR_BASE_0 .. QUILLMAR_MIRROR_BASE_3
//                           the same for one mirror; wins over QUILLMAR_MIRROR_BASE.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/public_service.h"  // kAcisServiceBase, PublicServiceBase

class TOptionData;

// Built-in mirror bases, each ending in "/data/". Mirrors 0, 1 and 3 are reached over https,
// mirror 2 over http.
// PLACEHOLDER HOSTS: the mirror operators publish their host names to their users; they are
// not known to this source. Until the real names are filled in here, a site points the program
// at its mirror with QUILLMAR_MIRROR_BASE (the ".invalid" names can never resolve, so no
// request leaves the machine by accident).
inline constexpr const char* kMirrorBases[4] = {
    "https://mirror0.vesk.invalid/data/",  // PLACEHOLDER: main mirror
    "https://mirror1.vesk.invalid/data/",  // PLACEHOLDER: branch mirror 1
    "http://mirror2.vesk.invalid/data/",   // PLACEHOLDER: branch mirror 2 (http)
    "https://mirror3.vesk.invalid/data/",  // PLACEHOLDER: branch mirror 3
};

// A mirror host is known: an override names it, or the built-in base is not a placeholder.
bool MirrorHostConfigured(int index);
// The words shown and logged when a mirror source is chosen while no mirror host is known.
std::string MirrorNotConfiguredText();
// The data source a new user starts with: the mirrors' prebuilt databases (3) once mirror 0
// has a known host, else the public service's CSV archives (0).
int DefaultDataSource();

// Display names of the mirrors for the first-run dialog and the options (host shown).
std::string MirrorDisplayName(int index);

// Full address of a path of the public service ("/ddata/index2.htm"); non-ASCII and unsafe
// bytes of the path are percent-encoded (UTF-8), so Japanese archive names travel intact.
std::string PublicServiceUrl(std::string_view path);

// Base address of mirror 0..3 ending in "/data/"; any other index means mirror 0.
std::string MirrorSiteUrl(int index);

// The base address of the prebuilt-database source: DownSite 3 the chosen mirror, 4 the own
// site (UserSite, "/" added when missing), anything else empty.
std::string DownloadBaseUrl(const TOptionData& options);
std::string DownloadBaseUrl();  // with the global settings

// Percent-encodes the bytes of a URL path that are not unreserved characters or "/"
// (an existing "%XX" is kept).
std::string UrlEncodePath(std::string_view path);
// base + name with the name percent-encoded.
std::string JoinUrl(const std::string& base, std::string_view name);

// Joins a folder and a name with "/".
std::string JoinFolder(const std::string& folder, const std::string& name);

// Public service paths.
inline constexpr const char* kPathXlsPage = "/ddata/index.htm";
inline constexpr const char* kPathCsvPage = "/ddata/index2.htm";
inline constexpr const char* kPathXlsData = "/ddata/data/";
inline constexpr const char* kPathCsvData = "/ddata/datacsv/";

// Local copies in the download folder.
inline constexpr const char* kPageXls = "update.htm";    // copy of the spreadsheet page
inline constexpr const char* kPageCsv = "update2.htm";   // copy of the CSV page
inline constexpr const char* kPageMirror = "update.txt"; // mirror's date file
inline constexpr const char* kToroku = "toroku.zip";
inline constexpr const char* kAcisZip = "acis.zip";
inline constexpr const char* kSpecZip = "spec.zip";
inline constexpr const char* kAcisDb = "acis.db";
inline constexpr const char* kSpecDb = "spec.db";

// Size bounds of the downloads, in bytes, each well above what the real service publishes: a
// larger body is refused as a failed download and leaves no file. Environment variables
// replace them (read at every call; tests use small ones):
//   QUILLMAR_MAX_PAGE_BYTES     the update pages (index.htm, index2.htm, update.txt); 4 MiB
//   QUILLMAR_MAX_SCRIPT_BYTES   the master-table scripts and other files; 64 MiB
//   QUILLMAR_MAX_ARCHIVE_BYTES  the archives (".zip", ".lzh"); 512 MiB
std::int64_t MaxPageBytes();
std::int64_t MaxScriptBytes();
std::int64_t MaxArchiveBytes();
// The bound of a download, by the file name at the end of its address (or of a local name).
std::int64_t DownloadSizeBound(std::string_view urlOrName);
// A page copy that may be read whole: it exists and is within the page bound.
bool PageWithinBound(const std::string& fileName);

// The five spreadsheet archives: base name, the server's extension, in this order. The local
// copy is always base + ".zip", whatever the server's extension.
struct TXlsArchive {
  const char* baseName;
  const char* serverExt;
};
inline constexpr TXlsArchive kXlsArchives[5] = {
    {"登録基本部", ".zip"}, {"登録適用部一", ".lzh"}, {"登録適用部二", ".lzh"},
    {"登録適用部三", ".lzh"}, {"登録適用部四", ".zip"},
};

// The three CSV archives linked from the CSV page: basics, first uses, second uses.
using TCsvNames = std::array<std::string, 3>;
inline constexpr const char* kCsvLabels[3] = {"登録基本部", "登録適用部一", "登録適用部二"};

// A name taken from a server page may become a file of the download folder: one plain file
// name, not empty, no "/", "\", control characters or a leading "." (so neither ".." nor a
// hidden file), at most 200 bytes, valid UTF-8.
bool IsSafeDownloadName(std::string_view name);

// Looks for the three archive links in one page line (UTF-8): a marker
//   zip" target ="_blank">LABEL
// with the label of one archive gives its name: the text after the last "datacsv/" before the
// marker up to and including "zip". A name that is not a safe download name is ignored. A
// later match overwrites names[i]. Returns the number of names set from this line.
int ParseCsvFileNameLine(const std::string& line, TCsvNames& names);

// The names of the three public CSV archives from "update2.htm" of the download folder (UTF-8
// or CP932). A missing page leaves the names empty.
void ParseCsvFileNames(const std::string& downloadDir, TCsvNames& names);
void ParseCsvFileNames(TCsvNames& names);  // the global settings' download folder
