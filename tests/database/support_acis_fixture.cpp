#include "support_acis_fixture.h"

#include <filesystem>

#include "common/test_support.h"

namespace fs = std::filesystem;

std::string DataPath(const std::string& rel) { return SourcePath("tests/database/data/" + rel); }

TAcisFixture::TAcisFixture() {
  const std::string root = Dir.path().toStdString();
  DBDir = root + "/db";
  DownloadDir = root + "/download";
  SharedDir = root + "/shared";
  for (const auto& d : {DBDir, DownloadDir, SharedDir}) fs::create_directories(d);
}

TAcisDBSettings TAcisFixture::Settings(bool useShared) const {
  TAcisDBSettings s;
  s.DBDir = DBDir;
  s.DownloadDir = DownloadDir;
  s.dirLAN = SharedDir;
  s.UseLAN = useShared;
  return s;
}

std::unique_ptr<TAcisDB> TAcisFixture::Open(bool useShared, const std::string& file) {
  auto* lines = &LogLines;
  return std::make_unique<TAcisDB>(DBDir + "/" + file, Settings(useShared),
                                   [lines](const std::string& s) { lines->push_back(s); });
}

void TAcisFixture::CopyMasters() {
  for (const auto& e : fs::directory_iterator(DataPath("masters")))
    fs::copy_file(e.path(), SharedDir + "/" + e.path().filename().string(), fs::copy_options::overwrite_existing);
}

bool TAcisFixture::Logged(const std::string& part) const {
  for (const auto& l : LogLines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

std::vector<TRowText> Rows(TSQLiteDb& db, const std::string& sql) {
  std::vector<TRowText> out;
  auto t = db.GetTable(sql);
  for (t->MoveFirst(); !t->Eof(); t->Next()) {
    TRowText r;
    for (int i = 0; i < t->ColCount(); ++i) r.push_back(t->FieldIsNull(i) ? "<NULL>" : t->FieldAsString(i));
    out.push_back(std::move(r));
  }
  return out;
}
