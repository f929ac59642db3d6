// qmtool jpp on JPP-NET files with a byte-order mark before CP932 text: the text is stored as
// text (read back with the sqlite3 command-line tool), never as raw CP932 bytes.
#include <gtest/gtest.h>
#include <iconv.h>

#include <QTemporaryDir>
#include <fstream>

#include "database/jpp_import.h"
#include "support_qmtool_process.h"

namespace {

std::string ToCp932(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size(), outLeft = out.size();
  char* o = out.data();
  EXPECT_NE(iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

std::string Product(const std::string& bango, const std::string& name) {
  std::string s = bango + ",1,\"殺虫剤\",\"" + name + "\"";
  for (int k = 2; k < 25; ++k) s += ",\"x\"";  // 25 quoted fields after the first two
  return s + "\r\n";
}

// Output of the sqlite3 tool for sql on db.
std::string Sqlite(const std::string& db, const std::string& sql, const std::string& out) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    FILE* f = std::freopen(out.c_str(), "w", stdout);
    (void)f;
    ::execlp("sqlite3", "sqlite3", db.c_str(), sql.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  EXPECT_EQ(qmtool_process::Wait(pid), 0);
  return qmtool_process::Text(out);
}

}  // namespace

TEST(QmtoolJppBytes, ByteOrderMarkBeforeCp932StoresText) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string file = dir + "/n_trk_1.txt";
  std::ofstream(file, std::ios::binary) << "\xEF\xBB\xBF"
                                        << ToCp932(JppSeizaiHeader() + "\r\n" + Product("10001", "スミチオン乳剤") +
                                                   Product("10002", "ｽﾐﾊﾞｯｻ粉剤"));
  const pid_t pid = qmtool_process::Spawn({"jpp", "--db", dir + "/db", file}, dir + "/out.txt");
  ASSERT_EQ(qmtool_process::Wait(pid), 0) << qmtool_process::Text(dir + "/out.txt");
  EXPECT_EQ(Sqlite(dir + "/db/jpp.db", "SELECT bango, shurui, shohinmei FROM jppSeizai ORDER BY bango;", dir + "/q.txt"),
            "10001|殺虫剤|スミチオン乳剤\n10002|殺虫剤|ｽﾐﾊﾞｯｻ粉剤\n");
}
