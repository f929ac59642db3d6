// The libraries stack in layers: foundation <- database <- (output, update) <- frontend <- app.
// No source file includes a header of a higher layer or of the sibling across, and no library
// links one: a change that adds such an arrow fails here, before it tangles the build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// What each layer may use (itself included).
const std::map<std::string, std::set<std::string>>& Allowed() {
  static const std::map<std::string, std::set<std::string>> allowed = {
      {"foundation", {"foundation"}},
      {"database", {"foundation", "database"}},
      {"output", {"foundation", "database", "output"}},
      {"update", {"foundation", "database", "update"}},
      {"frontend", {"foundation", "database", "output", "update", "frontend"}},
      {"app", {"foundation", "database", "output", "update", "frontend", "app"}},
  };
  return allowed;
}

const std::map<std::string, std::string> kLibraryLayer = {
    {"qm_foundation", "foundation"}, {"qm_database", "database"}, {"qm_output", "output"},
    {"qm_update", "update"},         {"qm_frontend", "frontend"},
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(SourceLayers, NoFileIncludesAHigherLayerOrTheSiblingAcross) {
  const fs::path src = fs::path(QM_SOURCE_DIR) / "src";
  const std::regex include(R"re(#\s*include\s*"([a-z]+)/)re");
  int files = 0;
  for (const auto& [layer, allowed] : Allowed()) {
    for (const auto& entry : fs::recursive_directory_iterator(src / layer)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".cpp" && ext != ".h") continue;
      ++files;
      const std::string text = ReadFile(entry.path());
      for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it) {
        const std::string used = (*it)[1];
        if (!Allowed().count(used)) continue;  // not one of ours
        EXPECT_TRUE(allowed.count(used)) << fs::relative(entry.path(), src).string() << " includes " << used
                                         << "/ (layer " << layer << ")";
      }
    }
  }
  EXPECT_GT(files, 100);
}

TEST(SourceLayers, NoLibraryLinksAHigherLayerOrTheSiblingAcross) {
  const fs::path src = fs::path(QM_SOURCE_DIR) / "src";
  for (const auto& [lib, layer] : kLibraryLayer) {
    const std::string cmake = ReadFile(src / layer / "CMakeLists.txt");
    ASSERT_FALSE(cmake.empty()) << layer;
    const std::regex link("target_link_libraries\\(" + lib + "([^)]*)\\)");
    int lines = 0;
    for (std::sregex_iterator it(cmake.begin(), cmake.end(), link), end; it != end; ++it) {
      ++lines;
      const std::string deps = (*it)[1];
      for (const auto& [other, otherLayer] : kLibraryLayer) {
        if (other == lib || deps.find(other) == std::string::npos) continue;
        EXPECT_TRUE(Allowed().at(layer).count(otherLayer)) << lib << " links " << other;
      }
    }
    EXPECT_GT(lines, 0) << lib;
  }
}
