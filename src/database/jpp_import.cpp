// The JPP-NET import: the product file into jpp.jppSeizai, the ingredient file into
// jpp.jppSeibun.
//
// A file is recognised by its first line before jpp.db is touched. The table is dropped,
// re-created and filled inside one transaction through one prepared INSERT with bound values,
// so no character of the data can break a statement, and the old table stays as it was unless
// every line of the file was stored: a bad line (too few fields, a registration number that is
// no number, a duplicate registration number) stops the import, is reported with its line
// number, and the transaction is rolled back. A jpp.db created for an import that failed is
// removed again.
#include "database/jpp_import.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "database/acis_db.h"
#include "database/acis_session_views.h"
#include "database/csv_split.h"
#include "database/import_convert.h"
#include "database/import_reader.h"
#include "foundation/message_sink.h"
#include "foundation/text_utils.h"

namespace {

const char* const kSeizaiHeaders[] = {
    "#登録番号", "混合数", "登録種類名", "商品名", "登録会社名コード", "登録会社名", "登録会社連絡先", "農薬用途コード",
    "用途", "物理化学的性状", "初登録年月日", "登録有効期限", "失効", "失効日", "剤型コード", "剤型名",
    "人畜毒性(製剤としての)", "登録(更新)日", "JPP農薬種類コード", "JPP農薬種類名", "失効理由", "屋号抜き商品名",
    "有機JASでの使用（注釈）※「使用できる」とは別表2に掲載されている農薬をいう",
    "水産動植物への影響に係る使用上の注意事項", "作用機構分類コード(IRAC)", "作用機構分類コード(FRAC)",
    "作用機構分類コード(HRAC)"};
const char* const kSeibunHeaders[] = {
    "#登録番号", "有効成分コード", "登録種類名", "出力順", "含有量", "含有量(注釈)", "有効成分", "有効成分種類",
    "化学名", "有効成分用途", "人畜毒性(成分としての)", "毒劇除外1", "毒劇除外2", "失効日", "系統コード", "系統名",
    "JPP農薬種類コード", "JPP農薬種類名", "作用機構分類コード", "作用機構分類名"};

constexpr int kSeizaiFields = 27;
constexpr int kSeibunFields = 20;

const char kCreateSeizai[] =
    "CREATE TABLE jpp.jppSeizai (bango INTEGER PRIMARY KEY, kongo INTEGER, shurui VARCHAR, shohinmei VARCHAR, "
    "idkaisha VARCHAR, kaisya VARCHAR, tel VARCHAR, idyoto VARCHAR, yoto VARCHAR, seijho VARCHAR, "
    "tourokubi VARCHAR, kigen VARCHAR, sikko VARCHAR, sikkobi VARCHAR, idzaikei VARCHAR, zaikei VARCHAR, "
    "seizaidokusei VARCHAR, kousinbi VARCHAR, idjpp VARCHAR, jppname VARCHAR, sikkoriyu VARCHAR, tsusho VARCHAR, "
    "yukijas VARCHAR, suisan VARCHAR, irac VARCHAR, frac VARCHAR, hrac VARCHAR);";
const char kCreateSeibun[] =
    "CREATE TABLE jpp.jppSeibun (bango INTEGER, idseibun INTEGER, shurui VARCHAR, idsub INTEGER, nodo VARCHAR, "
    "nodochu VARCHAR, ippanmei VARCHAR, seibun VARCHAR, kagakumei VARCHAR, yoto VARCHAR, dokusei VARCHAR, "
    "jyogai1 VARCHAR, jyogai2 VARCHAR, shikkobi VARCHAR, idkeito VARCHAR, keito VARCHAR, idjpp VARCHAR, "
    "jppname VARCHAR, idSayokiko VARCHAR, sayokikobunrui VARCHAR);";

std::string Placeholders(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += (i > 1 ? ",?" : "?") + std::to_string(i);
  return s;
}

std::string JoinHeaders(const char* const* h, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += ',';
    s += h[i];
  }
  return s;
}

// What differs between the two files.
struct TJppSpec {
  TJppFileKind Kind;
  const char* Table;       // "jpp.jppSeizai"
  const char* Create;
  int Fields;
  const char* WrongFile;   // message for a file without the header
  const char* FileWord;    // the file's name in messages
};

const TJppSpec kSeizai{TJppFileKind::Seizai, "jpp.jppSeizai", kCreateSeizai, kSeizaiFields,
                       "剤の概要CSVファイルではありません", "剤の概要CSVファイル"};
const TJppSpec kSeibun{TJppFileKind::Seibun, "jpp.jppSeibun", kCreateSeibun, kSeibunFields,
                       "JPP-NET 有効成分CSVファイルではありません", "有効成分CSVファイル"};

// A line that cannot be stored.
class EJppLine : public std::runtime_error {
 public:
  explicit EJppLine(const std::string& what) : std::runtime_error(what) {}
};

std::string BaseName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

bool BlankLine(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r') return false;
  return true;
}

// Binds a number field: a whole number, or NULL for an empty field when allowed.
void BindNumber(TSQLiteStmt& st, int col, const std::string& v, bool required, const char* what) {
  if (auto n = ParseWholeNumber(v)) {
    st.BindInt(col, *n);
    return;
  }
  if (!required && BlankLine(v)) {
    st.BindNull(col);
    return;
  }
  throw EJppLine(std::string(what) + " \"" + v + "\" が数値ではありません");
}

void BindSeizai(TSQLiteStmt& st, std::vector<std::string>& f) {
  BindNumber(st, 1, f[0], true, "登録番号");
  for (int i = 1; i < kSeizaiFields; ++i) st.BindText(i + 1, f[i]);
}

void BindSeibun(TSQLiteStmt& st, std::vector<std::string>& f) {
  BindNumber(st, 1, f[0], true, "登録番号");
  BindNumber(st, 2, f[1], false, "有効成分コード");
  BindNumber(st, 4, f[3], false, "出力順");
  for (int i : {2, 5, 6, 7, 8}) f[i] = ZenToHanAscii(f[i]);
  ReplaceAll(f[8], "'", "’");
  for (int i = 2; i < kSeibunFields; ++i)
    if (i != 3) st.BindText(i + 1, f[i]);
}

bool JppAttached(TSQLiteDb& db) {
  auto t = db.GetTable("SELECT name FROM pragma_database_list WHERE name = 'jpp';");
  return t->Count() > 0;
}

}  // namespace

const std::string& JppSeizaiHeader() {
  static const std::string h = JoinHeaders(kSeizaiHeaders, kSeizaiFields);
  return h;
}
const std::string& JppSeibunHeader() {
  static const std::string h = JoinHeaders(kSeibunHeaders, kSeibunFields);
  return h;
}

TJppFileKind JppKindOfLine(std::string_view FirstLine) {
  if (FirstLine.find(JppSeizaiHeader()) != std::string_view::npos) return TJppFileKind::Seizai;
  if (FirstLine.find(JppSeibunHeader()) != std::string_view::npos) return TJppFileKind::Seibun;
  return TJppFileKind::None;
}

TJppFileKind JppKindOfFile(const std::string& FileName) {
  try {
    TTextFileReader in(FileName);
    std::string line;
    if (!in.ReadLine(line)) return TJppFileKind::None;
    return JppKindOfLine(line);
  } catch (const EImportFileError&) {
    return TJppFileKind::None;
  }
}

const char* JppTableName(TJppFileKind Kind) {
  switch (Kind) {
    case TJppFileKind::Seizai: return kSeizai.Table;
    case TJppFileKind::Seibun: return kSeibun.Table;
    default: return "";
  }
}

bool CsvRecordOpen(std::string_view Line) {
  if (Line.find('"') == std::string_view::npos) return false;
  size_t i = 0;
  const size_t n = Line.size();
  while (true) {
    if (i < n && Line[i] == '"') {  // a quoted field: up to its closing quote
      ++i;
      while (true) {
        size_t q = Line.find('"', i);
        if (q == std::string_view::npos) return true;
        if (q + 1 < n && Line[q + 1] == '"') {
          i = q + 2;
          continue;
        }
        i = q + 1;
        break;
      }
    }
    size_t c = Line.find(',', i);  // the rest of the field up to the comma is plain text
    if (c == std::string_view::npos) return false;
    i = c + 1;
  }
}

bool TAcisDB::AttachJppForImport() {
  try {
    FDb->ExecBound("ATTACH ?1 AS jpp;", {FSettings.DBDir + "/jpp.db"});
  } catch (const ESQLiteException& e) {
    ShowSqlError(e, "AcisDB.AttachJppForImport ");
    return false;
  }
  Log("jpp.db Attach");
  return true;
}

namespace {

// One import run of either file.
bool ImportJpp(TAcisDB& db, const TJppSpec& spec, const std::string& FileName, TImportResult* Result) {
  namespace fs = std::filesystem;
  TImportResult res;
  if (Result) *Result = res;
  std::error_code ec;
  if (!fs::is_regular_file(FileName, ec)) return false;

  const std::string name = BaseName(FileName);
  auto fail = [&](const std::string& why) {
    std::string text = spec.FileWord + std::string(" ") + name + ": " + why + "\n" + spec.Table +
                       " は更新していません (元のテーブルのままです)";
    db.Log(text);
    ShowMessageBox(TMsgKind::Error, "Quillmar", text);
    return false;
  };

  std::unique_ptr<TTextFileReader> in;
  std::string line;
  try {
    in = std::make_unique<TTextFileReader>(FileName);
    if (!in->ReadLine(line)) line.clear();
  } catch (const EImportFileError& e) {
    return fail(e.what());
  }
  if (JppKindOfLine(line) != spec.Kind) {
    ShowMessageBox(TMsgKind::Error, "Quillmar", spec.WrongFile);
    return false;
  }

  // The header is right: now jpp.db may be created.
  const std::string jppFile = db.Settings().DBDir + "/jpp.db";
  bool created = false;
  try {
    if (!JppAttached(*db.FDb)) {
      created = !fs::exists(jppFile, ec);
      if (!db.AttachJppForImport()) return false;
    }
  } catch (const ESQLiteException& e) {
    TAcisDB::ShowSqlError(e, "AcisDB.AttachJppForImport ");
    return false;
  }

  db.SetMultiStatement(true);
  int64_t lineNo = 1, recordLine = 1;
  std::string error;
  try {
    db.FDb->BeginTransaction();
    try {
      db.FDb->ExecSQL(std::string("DROP TABLE IF EXISTS ") + spec.Table + ";");
      db.FDb->ExecSQL(spec.Create);
      TSQLiteStmt st = db.FDb->Prepare(std::string("INSERT INTO ") + spec.Table + " VALUES (" +
                                       Placeholders(spec.Fields) + ");");
      const int64_t max = std::max<int64_t>(1, in->FileSize());
      const int64_t step = std::max<int64_t>(1, max / 20);
      int64_t next = 0;
      db.Progress(0, max);
      std::vector<std::string> f;
      std::string record, more;
      while (in->ReadLine(line)) {
        ++lineNo;
        recordLine = lineNo;
        if (BlankLine(line)) continue;
        // A quoted field may run over line breaks.
        while (CsvRecordOpen(line) && in->ReadLine(more)) {
          ++lineNo;
          line += '\n';
          line += more;
        }
        SplitCsvLine(line, '"', f);
        if (f[0] == "#登録番号") continue;  // a header repeated inside the file
        ++res.Rows;
        if (static_cast<int>(f.size()) < spec.Fields)
          throw EJppLine("項目が " + std::to_string(f.size()) + " 個しかありません (" + std::to_string(spec.Fields) +
                         " 個必要)");
        if (spec.Kind == TJppFileKind::Seizai)
          BindSeizai(st, f);
        else
          BindSeibun(st, f);
        try {
          while (st.Step()) {
          }
        } catch (const ESQLiteException& e) {
          std::string what = e.what();
          if (spec.Kind == TJppFileKind::Seizai && what.find("UNIQUE constraint failed") != std::string::npos)
            throw EJppLine("登録番号 " + f[0] + " が重複しています");
          throw EJppLine(what);
        }
        st.Reset();
        ++res.Stored;
        const int64_t pos = in->Position();
        if (pos >= next) {
          db.Progress(std::min(pos, max), max);
          next = pos - pos % step + step;
        }
        db.Breathe();
      }
      st = TSQLiteStmt();
      db.FDb->Commit();
      db.Progress(max, max);
    } catch (...) {
      db.FDb->Rollback();
      throw;
    }
  } catch (const EJppLine& e) {
    error = std::to_string(recordLine) + " 行目: " + e.what();
  } catch (const EImportFileError& e) {
    error = e.what();
  } catch (const ESQLiteException& e) {
    error = e.what();
  }
  if (!error.empty()) {
    if (created) {
      // The file did not exist before this import: leave none behind.
      try {
        db.FDb->ExecSQL("DETACH jpp;");
        fs::remove(jppFile, ec);
        fs::remove(jppFile + "-journal", ec);
      } catch (const ESQLiteException&) {
      }
    }
    res.Stored = 0;
    if (Result) *Result = res;
    return fail(error);
  }
  db.Log(std::string(spec.Table) + ": " + std::to_string(res.Stored) + " 件取込");
  if (Result) *Result = res;
  // The ingredient view of the product sheet shows the JPP-NET columns from now on.
  if (spec.Kind == TJppFileKind::Seibun && db.TableExists("tvSeibun")) db.ExecSQL(SessionTvSeibunScript(true));
  return true;
}

}  // namespace

bool TAcisDB::ImportJppSeizaiCsv(const std::string& FileName, TImportResult* Result) {
  return ImportJpp(*this, kSeizai, FileName, Result);
}

bool TAcisDB::ImportJppSeibunCsv(const std::string& FileName, TImportResult* Result) {
  return ImportJpp(*this, kSeibun, FileName, Result);
}
