// A connection opened before a build or an install put new files in place must not begin a
// transaction on the old files again: a write would name its journal after the path (beside
// the new file), and a read takes the journal of a writer of the new file for a crashed one of
// its own, plays it into the old file and deletes it. The connection is opened again on the
// files now in place (the database object does that, with its pair whole), or refused.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <filesystem>

#include "common/test_support.h"
#include "database/acis_db.h"
#include "database/acis_session_views.h"
#include "database/db_swap_journal.h"
#include "database/sqlite_db.h"
#include "foundation/stale_files.h"
#include "sample_acis_db.h"

namespace fs = std::filesystem;

namespace {

void MakeDb(const std::string& path, const std::string& table, const std::string& label) {
  TSQLiteDb db(path);
  db.ExecSQL("CREATE TABLE " + table + " (label VARCHAR);");
  db.ExecBound("INSERT INTO " + table + " VALUES (?1);", {label});
}

std::string Labels(TSQLiteDb& db, const std::string& table) {
  auto t = db.GetTable("SELECT group_concat(label, ',') FROM (SELECT label FROM " + table + " ORDER BY label)");
  return t->FieldAsString(0);
}

class ReplacedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    dir_ = tmp_.path().toStdString();
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Puts a new database with the table t in place of a.db, as a swap does.
  void Replace(const std::string& label) {
    MakeDb(Path("new.db"), "t", label);
    fs::rename(Path("new.db"), Path("a.db"));
  }
  QTemporaryDir tmp_;
  std::string dir_;
};

}  // namespace

// A writer of the new file is in the middle of its transaction (its journal beside the new
// file). The connection opened before the swap neither plays that journal into its old file
// nor deletes it: without a way to open again it is refused; with one it reads the new file.
TEST_F(ReplacedFiles, AConnectionOpenedBeforeASwapLeavesTheNewFilesJournalAlone) {
  MakeDb(Path("a.db"), "t", "old");
  MakeDb(Path("s.db"), "u", "spec old");
  TSQLiteDb before(Path("a.db"));
  before.ExecBound("ATTACH ?1 AS s;", {Path("s.db")});
  EXPECT_EQ(Labels(before, "t"), "old");
  Replace("new");
  fs::remove(Path("s.db"));
  MakeDb(Path("s.db"), "u", "spec new");

  TSQLiteDb writer(Path("a.db"));
  writer.BeginTransaction();
  writer.ExecSQL("INSERT INTO t VALUES ('written');");
  const std::string journal = Path("a.db-journal");
  ASSERT_TRUE(fs::exists(journal));
  const auto size = fs::file_size(journal);

  try {
    Labels(before, "t");
    ADD_FAILURE() << "a read of the replaced file was not refused";
  } catch (const ESQLiteException& e) {
    EXPECT_EQ(e.Code(), SQLITE_READONLY_DBMOVED) << e.what();
  }
  EXPECT_TRUE(fs::exists(journal));
  EXPECT_THROW(before.ExecSQL("INSERT INTO t VALUES ('late');"), ESQLiteException);

  int reopened = 0;
  before.OnFilesReplaced = [&] {
    ++reopened;
    before.Reopen();
  };
  EXPECT_EQ(Labels(before, "t"), "new");
  EXPECT_EQ(Labels(before, "s.u"), "spec new");
  EXPECT_EQ(reopened, 1);
  ASSERT_TRUE(fs::exists(journal));
  EXPECT_EQ(fs::file_size(journal), size);
  writer.Commit();
  EXPECT_EQ(Labels(before, "t"), "new,written");
  EXPECT_EQ(reopened, 1);  // once on the new file, it stays there
}

// A statement prepared before the swap is refused once the connection was opened again: it
// belongs to the old one.
TEST_F(ReplacedFiles, AStatementPreparedBeforeTheSwapIsRefused) {
  MakeDb(Path("a.db"), "t", "old");
  TSQLiteDb db(Path("a.db"));
  db.OnFilesReplaced = [&] { db.Reopen(); };
  TSQLiteStmt insert = db.Prepare("INSERT INTO t VALUES (?1);");
  Replace("new");
  EXPECT_EQ(Labels(db, "t"), "new");
  EXPECT_THROW(insert.Exec({"late"}), ESQLiteException);
  EXPECT_EQ(Labels(db, "t"), "new");
}

// A statement of the old connection that is refused leaves the new connection's open
// transaction as it was: what was written in it is still committed.
TEST_F(ReplacedFiles, AStatementOfTheOldConnectionLeavesTheNewTransactionAlone) {
  MakeDb(Path("a.db"), "t", "old");
  TSQLiteDb db(Path("a.db"));
  db.OnFilesReplaced = [&] { db.Reopen(); };
  TSQLiteStmt insert = db.Prepare("INSERT INTO t VALUES (?1);");
  Replace("new");
  EXPECT_EQ(Labels(db, "t"), "new");
  db.BeginTransaction();
  db.ExecSQL("INSERT INTO t VALUES ('kept');");
  EXPECT_THROW(insert.Exec({"late"}), ESQLiteException);
  EXPECT_NO_THROW(db.Commit());
  EXPECT_EQ(Labels(db, "t"), "kept,new");
}

// The database object opened before a swap reads the new pair afterwards, with its data date,
// and what it writes goes into the new acis.db.
TEST_F(ReplacedFiles, AnOpenDatabaseObjectGoesOnWithTheNewPair) {
  auto makePair = [&](const std::string& acis, const std::string& spec, const std::string& date) {
    TSQLiteDb a(acis);
    a.ExecSQL("CREATE TABLE info (Item VARCHAR, Value VARCHAR);");
    a.ExecBound("INSERT INTO info VALUES ('LastUpdate', ?1);", {date});
    MakeDb(spec, "bunrui", date);
  };
  makePair(Path("acis.db"), Path("spec.db"), "old date");
  TAcisDBSettings settings;
  settings.DBDir = dir_;
  settings.DBDownSite = 3;  // a prebuilt pair: no master refresh
  std::vector<std::string> log;
  TAcisDB db(Path("acis.db"), settings, [&](const std::string& line) { log.push_back(line); });
  EXPECT_EQ(db.FLastUpdate, "old date");

  makePair(OwnTempPath(Path("acis.db"), "build"), OwnTempPath(Path("spec.db"), "build"), "new date");
  ASSERT_EQ(SwapBuiltPair(dir_), "");

  ASSERT_TRUE(db.Query("SELECT Value FROM info WHERE Item = 'LastUpdate'"));
  EXPECT_EQ(db.FTbl->FieldAsString(0), "new date");
  EXPECT_EQ(db.FLastUpdate, "new date");
  ASSERT_TRUE(db.Query("SELECT label FROM spec.bunrui"));
  EXPECT_EQ(db.FTbl->FieldAsString(0), "new date");
  EXPECT_TRUE(db.ExecSQL("CREATE TABLE mine (x);"));
  TSQLiteDb reader(Path("acis.db"));
  EXPECT_TRUE(reader.TableExists("main.mine"));
}

// A spec.db that could not be attached at the open (no database) is attached from the new
// pair once a swap put it in place.
TEST_F(ReplacedFiles, ASpecDbThatFailedToAttachIsAttachedFromTheNewPair) {
  {
    TSQLiteDb a(Path("acis.db"));
    a.ExecSQL("CREATE TABLE info (Item VARCHAR, Value VARCHAR);");
  }
  WriteBytes(Path("spec.db"), std::string(4096, 'x'));
  TAcisDBSettings settings;
  settings.DBDir = dir_;
  settings.DBDownSite = 3;  // a prebuilt pair: no master refresh
  TAcisDB db(Path("acis.db"), settings, nullptr);
  EXPECT_FALSE(db.Query("SELECT label FROM spec.bunrui"));

  fs::copy_file(Path("acis.db"), OwnTempPath(Path("acis.db"), "build"));
  MakeDb(OwnTempPath(Path("spec.db"), "build"), "bunrui", "new spec");
  ASSERT_EQ(SwapBuiltPair(dir_), "");
  ASSERT_TRUE(db.Query("SELECT label FROM spec.bunrui"));
  EXPECT_EQ(db.FTbl->FieldAsString(0), "new spec");
}

// The main window's database object with its per-connection views: after a swap they are
// there again on the new pair, and the lists that depend on them learn of it.
TEST(ReplacedSampleFiles, TheSessionViewsComeBackOnTheNewPair) {
  OPEN_SAMPLE_DB(sample);
  db.CreateSessionViews();
  ASSERT_TRUE(db.Query("SELECT count(*) FROM tSeibun"));
  const std::string count = db.FTbl->FieldAsString(0);
  const unsigned generation = SessionGeneration();
  const std::string dir = sample.DBDir;
  fs::copy_file(dir + "/acis.db", OwnTempPath(dir + "/acis.db", "build"));
  fs::copy_file(dir + "/spec.db", OwnTempPath(dir + "/spec.db", "build"));
  {
    TSQLiteDb fresh(OwnTempPath(dir + "/acis.db", "build"));
    fresh.ExecSQL("UPDATE info SET Value = '2026年12月1日反映' WHERE Item = 'LastUpdate';");
  }
  ASSERT_EQ(SwapBuiltPair(dir), "");
  ASSERT_TRUE(db.Query("SELECT count(*) FROM tSeibun"));
  EXPECT_EQ(db.FTbl->FieldAsString(0), count);
  EXPECT_EQ(db.FLastUpdate, "2026年12月1日反映");
  EXPECT_GT(SessionGeneration(), generation);
}
