#pragma once
// The sample register (data/sample) laid out the way the servers publish it, for a loopback
// HTTP server's --root or as a shared folder: the public service's pages and archives under
// ddata/, and a mirror's files (toroku.zip, update.txt, the master scripts and, on demand,
// the prebuilt databases) under data/.
#include <QProcess>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/test_support.h"

namespace sample_site {

namespace fs = std::filesystem;

inline bool CopyInto(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::create_directories(fs::path(to).parent_path(), ec);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return !ec;
}

// The public service under root/ddata, the mirror's CSV set and master scripts under root/data.
inline bool MakeServerTree(const std::string& root) {
  const std::string pub = SourcePath("data/sample/public/");
  const std::string grid = SourcePath("data/sample/grid/");
  const std::string mirror = SourcePath("data/sample/mirror/");
  bool ok = CopyInto(pub + "update2.htm", root + "/ddata/index2.htm") &&
            CopyInto(pub + "update.htm", root + "/ddata/index.htm");
  for (const char* f : {"登録基本部csv_20261104.zip", "登録適用部一_20261104.zip", "登録適用部二_20261104.zip"})
    ok = ok && CopyInto(pub + f, root + "/ddata/datacsv/" + f);
  for (const char* f : {"登録基本部.zip", "登録適用部一.lzh", "登録適用部二.lzh", "登録適用部三.lzh", "登録適用部四.zip"})
    ok = ok && CopyInto(grid + f, root + "/ddata/data/" + f);
  for (const char* f : {"toroku.zip", "update.txt"}) ok = ok && CopyInto(mirror + f, root + "/data/" + f);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters"), ec))
    ok = ok && CopyInto(e.path().string(), root + "/data/" + e.path().filename().string());
  return ok && !ec;
}

// A shared folder as another copy of the program leaves its download folder: the pages and
// archives under their local names (the spreadsheet archives all as ".zip") and the master
// scripts.
inline bool MakeSharedFolder(const std::string& dir) {
  const std::string pub = SourcePath("data/sample/public/");
  const std::string grid = SourcePath("data/sample/grid/");
  const std::string mirror = SourcePath("data/sample/mirror/");
  bool ok = true;
  for (const char* f : {"update2.htm", "update.htm", "登録基本部csv_20261104.zip", "登録適用部一_20261104.zip",
                        "登録適用部二_20261104.zip"})
    ok = ok && CopyInto(pub + f, dir + "/" + f);
  for (const char* f : {"登録基本部", "登録適用部一", "登録適用部二", "登録適用部三", "登録適用部四"}) {
    const std::string base = f;
    const std::string from = fs::exists(grid + base + ".zip") ? grid + base + ".zip" : grid + base + ".lzh";
    ok = ok && CopyInto(from, dir + "/" + base + ".zip");
  }
  for (const char* f : {"toroku.zip", "update.txt"}) ok = ok && CopyInto(mirror + f, dir + "/" + f);
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(SourcePath("data/sample/masters"), ec))
    ok = ok && CopyInto(e.path().string(), dir + "/" + e.path().filename().string());
  return ok && !ec;
}

// zip -j of the given files (no folders in the archive).
inline bool Zip(const std::string& zip, const std::string& file) {
  std::error_code ec;
  fs::create_directories(fs::path(zip).parent_path(), ec);
  fs::remove(zip, ec);
  return std::system(("zip -q -j '" + zip + "' '" + file + "'").c_str()) == 0;
}

// An archive holding one file under the given member name, written by Python's zipfile
// (UTF-8 names carry the zip UTF-8 flag).
inline bool ZipAs(const std::string& zip, const std::string& file, const std::string& member) {
  std::error_code ec;
  fs::create_directories(fs::path(zip).parent_path(), ec);
  fs::remove(zip, ec);
  const std::string cmd = "/usr/bin/python3 -c 'import sys, zipfile; "
                          "zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_DEFLATED).write(sys.argv[2], sys.argv[3])' '" +
                          zip + "' '" + file + "' '" + member + "'";
  return std::system(cmd.c_str()) == 0;
}

// tests/update/http_test_server.py on a free port of 127.0.0.1 serving a folder, for tests
// that do not link the update tests' server support.
class TSiteServer {
 public:
  explicit TSiteServer(const std::string& root) {
    p_.start("/usr/bin/python3", {QString::fromStdString(SourcePath("tests/update/http_test_server.py")), "--root",
                                  QString::fromStdString(root)});
    if (!p_.waitForReadyRead(10000)) return;
    const QString line = QString::fromUtf8(p_.readLine()).trimmed();
    if (line.startsWith("PORT ")) port_ = line.mid(5).toInt();
  }
  ~TSiteServer() {
    p_.kill();
    p_.waitForFinished();
  }
  TSiteServer(const TSiteServer&) = delete;
  TSiteServer& operator=(const TSiteServer&) = delete;
  std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  bool Running() const { return port_ > 0; }

 private:
  QProcess p_;
  int port_ = 0;
};

}  // namespace sample_site
