// The importers of the published data: registration basics into kihon, registered uses into
// m_tekiyo, from the public service's CSV files (source 0), spreadsheet rows (source 1) and the
// mirror's CSV files (source 2).
//
// Every importer runs one prepared INSERT with bound values inside one transaction, so no
// character of the data can break a statement. A row that cannot be stored (no registration
// number, too few fields) is skipped with a logged reason and counted; a registration date that
// cannot be converted is stored as NULL and logged.
#include <algorithm>

#include "database/acis_db.h"
#include "database/csv_split.h"
#include "database/date_convert.h"
#include "database/import_convert.h"
#include "database/import_reader.h"
#include "database/import_rows.h"
#include "database/make_tsusho.h"
#include "foundation/text_utils.h"

namespace {

const char kInsertKihon[] =
    "INSERT INTO kihon(bango,shurui,meisho,tsusho,ryakusho,ippanmei,seibun,nodo,kongo,yoto,zaikei,torokubi) "
    "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12);";
const char kInsertTekiyo[] =
    "INSERT INTO m_tekiyo(bango,sakumotsu,basho,byochu,mokuteki,baisu,ekiryo,jiki,kaisu,hoho,jikan,ondo,dojo,"
    "chitai,tekiyaku,kaisu1,kaisu2,kaisu3,kaisu4,kaisu5) "
    "VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17,?18,?19,?20);";

constexpr int kMaxDetailLines = 50;

// Input positions of the use columns after bango, in table order.
constexpr int kTekiyoPos[19] = {5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 23, 24};

// One import: the transaction, the prepared INSERT, progress, pump and the reject log.
class TImportRun {
 public:
  TImportRun(TAcisDB& db, std::string name, const char* sql, int64_t max)
      : db_(db), name_(std::move(name)), max_(max), step_(std::max<int64_t>(1, max / 20)) {
    db_.FDb->BeginTransaction();
    try {
      stmt_ = db_.FDb->Prepare(sql);
    } catch (...) {
      db_.FDb->Rollback();
      throw;
    }
    if (max_ > 0) db_.Progress(0, max_);
  }
  ~TImportRun() {
    stmt_ = TSQLiteStmt();
    // Finish commits; an import that ends by an exception leaves nothing half-stored.
    if (db_.FDb->InTransaction()) db_.FDb->Rollback();
  }
  TSQLiteStmt& Stmt() { return stmt_; }

  void Reject(int64_t line, const std::string& why) {
    ++res_.Rejected;
    if (shown_++ < kMaxDetailLines) db_.Log(name_ + " " + std::to_string(line) + " 行目: " + why + " (取り込みません)");
  }
  void DateNull(int64_t line, const std::string& text) {
    ++res_.DatesNull;
    if (shown_++ < kMaxDetailLines)
      db_.Log(name_ + " " + std::to_string(line) + " 行目: 登録日 \"" + text + "\" を日付にできません (NULL)");
  }
  void Note(int64_t line, const std::string& what) {
    if (shown_++ < kMaxDetailLines) db_.Log(name_ + " " + std::to_string(line) + " 行目: " + what);
  }
  void Store() {
    while (stmt_.Step()) {
    }
    stmt_.Reset();  // ready for the next row's values
    ++res_.Stored;
  }
  void Row() { ++res_.Rows; }
  void Tick(int64_t pos) {
    if (max_ > 0 && pos >= next_) {
      db_.Progress(std::min(pos, max_), max_);
      next_ = pos - pos % step_ + step_;
    }
    db_.Breathe();
  }
  TImportResult Finish() {
    stmt_ = TSQLiteStmt();
    db_.FDb->Commit();
    if (max_ > 0) db_.Progress(max_, max_);
    std::string s = name_ + ": " + std::to_string(res_.Stored) + " 件取込";
    if (res_.Rejected) s += ", " + std::to_string(res_.Rejected) + " 件除外";
    if (res_.DatesNull) s += ", 登録日不明 " + std::to_string(res_.DatesNull) + " 件";
    db_.Log(s);
    return res_;
  }

  // Binding helpers (1-based columns).
  void Text(int col, const std::string& v) { stmt_.BindText(col, v); }
  void Opt(int col, const TOptText& v) {
    if (v)
      stmt_.BindText(col, *v);
    else
      stmt_.BindNull(col);
  }
  // A number field: the number, NULL for an empty field or the text NULL; other text is
  // stored as NULL with a note.
  void Number(int col, const std::string& v, int64_t line, const char* what) {
    if (auto n = ParseWholeNumber(v)) {
      stmt_.BindInt(col, *n);
      return;
    }
    stmt_.BindNull(col);
    std::string t = v;
    ReplaceUnderscores(t);
    if (!t.empty() && t != "NULL") Note(line, std::string(what) + " \"" + t + "\" は数値ではありません (NULL)");
  }

 private:
  TAcisDB& db_;
  std::string name_;
  TSQLiteStmt stmt_;
  int64_t max_;
  int64_t step_;
  int64_t next_ = 0;
  int shown_ = 0;
  TImportResult res_;
};

std::string BaseName(const std::string& path) {
  auto p = path.find_last_of('/');
  return p == std::string::npos ? path : path.substr(p + 1);
}

// "_" back to blanks in every bound text of a basics row made from a CSV line.
std::string U(std::string s) {
  ReplaceUnderscores(s);
  return s;
}
TOptText U(TOptText s) {
  if (s) ReplaceUnderscores(*s);
  return s;
}

bool BlankLine(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Basics from CSV (sources 0 and 2)

namespace {

// The basics rows of both CSV forms: the public service's (double quotes; full-width ASCII
// look-alikes made ASCII; an empty counted ingredient is NULL) and the mirror's (single
// quotes; values already converted; the text NULL is NULL, an empty text stays).
TImportResult ImportKihonCsvFile(TAcisDB& db, const std::string& FileName, bool publicForm) {
  TTextFileReader in(FileName);
  TImportRun run(db, BaseName(FileName), kInsertKihon, in.FileSize());
  auto conv = [publicForm](const std::string& v) { return publicForm ? ZenToHanAscii(v) : v; };
  std::string line;
  std::vector<std::string> f;
  int64_t lineNo = 0;
  if (in.ReadLine(line)) ++lineNo;  // header
  while (in.ReadLine(line)) {
    ++lineNo;
    run.Tick(in.Position());
    if (BlankLine(line)) continue;
    run.Row();
    std::replace(line.begin(), line.end(), ' ', '_');
    SplitCsvLine(line, publicForm ? '"' : '\'', f);
    if (f.size() < 11) {
      run.Reject(lineNo, "項目数が " + std::to_string(f.size()) + " しかありません");
      continue;
    }
    auto bango = ParseWholeNumber(f[0]);
    if (!bango) {
      run.Reject(lineNo, "登録番号 \"" + U(f[0]) + "\" は数値ではありません");
      continue;
    }
    // The trade name is made before "_" turns back into blanks: the maker marks include one.
    const std::string meisho = conv(f[2]);
    run.Stmt().BindInt(1, *bango);
    run.Text(2, U(conv(f[1])));
    run.Text(3, U(meisho));
    run.Text(4, U(MakeTsusho(meisho)));
    run.Text(5, U(conv(f[3])));
    run.Text(6, U(conv(f[4])));
    run.Opt(7, U(publicForm ? TextOrNull(ZenToHanAscii(f[5])) : QuoteUnlessNull(f[5])));
    run.Text(8, U(f[6]));
    run.Number(9, f[7], lineNo, "混用数");
    run.Text(10, U(f[8]));
    run.Text(11, U(conv(f[9])));
    // The blank before a time part came in as "_" like every other blank.
    auto date = DateTextToDotted(U(f[10]));
    if (!date && !f[10].empty() && f[10] != "NULL") run.DateNull(lineNo, U(f[10]));
    run.Opt(12, date);
    run.Store();
  }
  return run.Finish();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Public service CSV (source 0)

TImportResult TAcisDB::ImportAcisKihonCsv(const std::string& FileName) {
  return ImportKihonCsvFile(*this, FileName, true);
}

TImportResult TAcisDB::ImportAcisTekiyoCsv(const std::string& FileName) {
  TTextFileReader in(FileName);
  TImportRun run(*this, BaseName(FileName), kInsertTekiyo, in.FileSize());
  std::string line, next;
  std::vector<std::string> f;
  int64_t lineNo = 0;
  bool accessNo = false;
  if (in.ReadLine(line)) {
    ++lineNo;
    std::replace(line.begin(), line.end(), ' ', '_');
    SplitCsvLine(line, '"', f);
    accessNo = f.size() > 19 && f[19] == "アクセスＮＯ";
  }
  while (in.ReadLine(line)) {
    ++lineNo;
    const int64_t first = lineNo;
    // A quoted field with a line break: the next line continues it.
    if (CountChar(line, '"') % 2 == 1 && in.ReadLine(next)) {
      ++lineNo;
      line += next;
    }
    run.Tick(in.Position());
    if (BlankLine(line)) continue;
    run.Row();
    ReplaceAll(line, "㍑", "L");
    ReplaceAll(line, "㍍", "m");
    ReplaceAll(line, "ｍ", "m");
    ReplaceAll(line, "ｇ", "g");
    std::replace(line.begin(), line.end(), ' ', '_');
    SplitCsvLine(line, '"', f);
    if (accessNo && f.size() > 19) f.erase(f.begin() + 19);
    if (f.size() < 19) {
      run.Reject(first, "項目数が " + std::to_string(f.size()) + " しかありません");
      continue;
    }
    while (f.size() < 26) f.emplace_back("NULL");
    auto bango = ParseWholeNumber(f[0]);
    if (!bango) {
      run.Reject(first, "登録番号 \"" + U(f[0]) + "\" は数値ではありません");
      continue;
    }
    run.Stmt().BindInt(1, *bango);
    for (int k = 0; k < 19; ++k) run.Opt(k + 2, CsvValueOrNull(f[kTekiyoPos[k]]));
    run.Store();
  }
  return run.Finish();
}

// ---------------------------------------------------------------------------------------------
// Mirror CSV (source 2)

TImportResult TAcisDB::ImportKihonCsv(const std::string& FileName) {
  return ImportKihonCsvFile(*this, FileName, false);
}

TImportResult TAcisDB::ImportTekiyoCsv(const std::string& FileName) {
  TTextFileReader in(FileName);
  TImportRun run(*this, BaseName(FileName), kInsertTekiyo, in.FileSize());
  std::string line;
  std::vector<std::string> f;
  int64_t lineNo = 0;
  if (in.ReadLine(line)) ++lineNo;
  while (in.ReadLine(line)) {
    ++lineNo;
    run.Tick(in.Position());
    if (BlankLine(line)) continue;
    run.Row();
    ReplaceAll(line, "平方メートル", "㎡");
    ReplaceAll(line, "メートル", "m");
    SplitCsvLine(line, '\'', f);
    if (f.size() < 19) {
      run.Reject(lineNo, "項目数が " + std::to_string(f.size()) + " しかありません");
      continue;
    }
    while (f.size() < 25) f.emplace_back("NULL");
    auto bango = ParseWholeNumber(f[0]);
    if (!bango) {
      run.Reject(lineNo, "登録番号 \"" + f[0] + "\" は数値ではありません");
      continue;
    }
    run.Stmt().BindInt(1, *bango);
    for (int k = 0; k < 19; ++k) {
      const int pos = kTekiyoPos[k];
      run.Opt(k + 2, pos == 13 ? QuoteUnlessNull(SquareMetreText(f[pos])) : QuoteUnlessNull(f[pos]));
    }
    run.Store();
  }
  return run.Finish();
}

// ---------------------------------------------------------------------------------------------
// Spreadsheet rows (source 1)

TImportResult TAcisDB::ImportKihonGrid(TRowSource& Grid) {
  TImportRun run(*this, "登録基本部", kInsertKihon, Grid.RowCountHint());
  std::vector<std::string> c;
  int64_t rowNo = -1;
  while (Grid.NextRow(c)) {
    ++rowNo;
    run.Tick(rowNo + 1);
    if (!c.empty() && c[0].find("登録番号") != std::string::npos) continue;  // a header row
    if (std::all_of(c.begin(), c.end(), [](const std::string& s) { return s.empty(); })) continue;
    run.Row();
    if (c.size() < 11) c.resize(11);
    auto bango = ParseWholeNumber(c[0]);
    if (!bango) {
      run.Reject(rowNo, "登録番号 \"" + c[0] + "\" は数値ではありません");
      continue;
    }
    const std::string meisho = ZenToHanAscii(c[2]);
    run.Stmt().BindInt(1, *bango);
    run.Text(2, ZenToHanAscii(c[1]));
    run.Text(3, meisho);
    run.Text(4, MakeTsusho(meisho));
    run.Text(5, ZenToHanAscii(c[3]));
    run.Text(6, ZenToHanAscii(c[4]));
    run.Text(7, ZenToHanAscii(c[5]));
    run.Text(8, NodoText(c[6]));
    run.Number(9, c[7], rowNo, "混用数");
    run.Text(10, c[8]);
    run.Text(11, HanToZen(c[9]));
    auto date = ExcelSerialToDateText(c[10]);
    if (!date && !c[10].empty()) run.DateNull(rowNo, c[10]);
    run.Opt(12, date);
    run.Store();
  }
  return run.Finish();
}

TImportResult TAcisDB::ImportTekiyoGrid(TRowSource& Grid) {
  TImportRun run(*this, "登録適用部", kInsertTekiyo, Grid.RowCountHint());
  std::vector<std::string> c;
  int64_t rowNo = -1;
  auto units = [](std::string s) {
    ReplaceAll(s, "㍑", "L");
    ReplaceAll(s, "㍍", "m");
    ReplaceAll(s, "㌢", "cm");
    return s;
  };
  while (Grid.NextRow(c)) {
    ++rowNo;
    run.Tick(rowNo + 1);
    if (rowNo == 0) continue;  // the header
    if (std::all_of(c.begin(), c.end(), [](const std::string& s) { return s.empty(); })) continue;
    run.Row();
    if (c.size() < 25) c.resize(25);
    auto bango = ParseWholeNumber(c[0]);
    if (!bango) {
      run.Reject(rowNo, "登録番号 \"" + c[0] + "\" は数値ではありません");
      continue;
    }
    run.Stmt().BindInt(1, *bango);
    for (int k = 0; k < 19; ++k) {
      const int pos = kTekiyoPos[k];
      std::string v;
      switch (pos) {
        case 5:
        case 7:
          v = ZenToHanAscii(c[pos]);
          break;
        case 6:
        case 8:
          v = HanToZen(c[pos]);
          break;
        case 14:
        case 15:
        case 16:
        case 17:
          v = c[pos];
          break;
        default:  // 9..13, 18, 20..24
          v = NodoText(c[pos]);
          break;
      }
      run.Text(k + 2, units(std::move(v)));
    }
    run.Store();
  }
  return run.Finish();
}
