// qmtool fetch against the loopback server: a body over its size bound (given, or the data
// update's bound for the kind of file) and a trickling server end the run as failed, say why,
// and leave no file.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>

#include "common/test_support.h"
#include "support_qmtool_process.h"
#include "update/support_http_server.h"

namespace fs = std::filesystem;

namespace {

using qmtool_process::ToolRun;

ToolRun Fetch(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  return qmtool_process::Qmtool(QStringList{"fetch"} + args, {}, env);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(QmtoolFetch, GivesUpOnOversizedBodiesAndTricklingServersAndSaysSo) {
  TTestHttpServer server;
  ASSERT_TRUE(server.Running());
  QTemporaryDir dir;
  const QString file = dir.path() + "/out.bin";
  auto noFile = [&] {
    for (const auto& e : fs::directory_iterator(dir.path().toStdString())) ADD_FAILURE() << e.path();
  };

  ToolRun r = Fetch({"--max-size", "100000", QString::fromStdString(server.Url("/big?size=300000&nolength=1")), file});
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "gave up: larger than 100000 bytes")) << r.out;
  noFile();

  // Without --max-size the bound of the file's kind holds (made small here).
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QUILLMAR_MAX_SCRIPT_BYTES", "1000");
  r = Fetch({QString::fromStdString(server.Url("/big?size=5000")), file}, env);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "gave up: larger than 1000 bytes")) << r.out;
  noFile();

  r = Fetch({"--receive-timeout", "1000", QString::fromStdString(server.Url("/trickle?n=600&ms=50")), file});
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "gave up: the server sent too little")) << r.out;
  noFile();

  r = Fetch({"--max-size", "5000", QString::fromStdString(server.Url("/big?size=5000")), file});
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_FALSE(Has(r.out, "gave up")) << r.out;
}
