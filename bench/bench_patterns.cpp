// The regular-expression object and the crop-name keys on 300,000 realistic crop texts, each
// beside a floor measured in the same run:
//   match      TPerlRegEx (subject set per row, compiled pattern and match data reused)
//              against raw PCRE2 with a JIT-compiled pattern and one match data;
//   replace    TPerlRegEx::ReplaceAll per row against pcre2_substitute (global);
//   keys       MakeKanaKey against StrConvText (the same tables, the SQL side's key);
//   condition  BuildSakumotsuCondition of a 2,000-name crop list (':' and '%').
//
// usage: bench_patterns [ROWS]
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "database/perl_regex.h"
#include "database/sakumotsu_keys.h"
#include "database/strconv.h"

namespace {

std::vector<std::string> CropTexts(int rows) {
  const char* crops[] = {"トマト", "ミニトマト", "なす", "きゅうり", "キャベツ", "はくさい", "だいこん",
                         "野菜類", "果樹類", "かんきつ", "りんご", "なし", "ぶどう", "水稲", "麦類",
                         "豆類(未成熟)", "ピーマン", "ばれいしょ", "かぼちゃ", "ねぎ", "たまねぎ"};
  const char* notes[] = {"", "(施設栽培)", "(露地栽培)", "(トマト、なすを除く)", "等", "(苗)", "、いちご"};
  std::mt19937 rng(1);
  std::vector<std::string> out;
  out.reserve(rows);
  for (int i = 0; i < rows; ++i) {
    std::string s = crops[rng() % std::size(crops)];
    s += notes[rng() % std::size(notes)];
    if (rng() % 3 == 0) s += std::string("、") + crops[rng() % std::size(crops)] + "　" +
                             std::to_string(rng() % 4000) + "倍";
    out.push_back(std::move(s));
  }
  return out;
}

void Print(const char* what, double ours, double floor, long check1, long check2) {
  std::printf("%-10s ours %8.1f ms   floor %8.1f ms   ratio %5.2f   (%ld / %ld)\n", what,
              ours * 1000, floor * 1000, floor > 0 ? ours / floor : 0.0, check1, check2);
}

}  // namespace

int main(int argc, char** argv) {
  int rows = argc > 1 ? std::atoi(argv[1]) : 300000;
  std::vector<std::string> texts = CropTexts(rows);
  std::printf("rows %d\n", rows);

  // --- match ------------------------------------------------------------------------------
  std::string lit = BuildSakumotsuCondition("トマト,なす", '%', false);
  std::string pattern = lit.substr(1, lit.size() - 2);
  {
    double t0 = Now();
    TPerlRegEx re(pattern);
    long hits = 0;
    for (const auto& s : texts) {
      re.SetSubject(s);
      hits += re.Match();
    }
    double ours = Now() - t0;

    t0 = Now();
    int err;
    PCRE2_SIZE off;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.c_str()), pattern.size(),
                                     PCRE2_UTF | PCRE2_MATCH_INVALID_UTF, &err, &off, nullptr);
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    long hits2 = 0;
    for (const auto& s : texts)
      hits2 += pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, md, nullptr) >= 0;
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    Print("match", ours, Now() - t0, hits, hits2);
  }

  // --- replace ----------------------------------------------------------------------------
  {
    const std::string pat = "(\\d+)倍";
    const std::string rep = "x$1";
    double t0 = Now();
    TPerlRegEx re(pat);
    re.SetReplacement(rep);
    long bytes = 0;
    for (const auto& s : texts) {
      re.SetSubject(s);
      re.ReplaceAll();
      bytes += static_cast<long>(re.Subject().size());
    }
    double ours = Now() - t0;

    t0 = Now();
    int err;
    PCRE2_SIZE off;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pat.c_str()), pat.size(),
                                     PCRE2_UTF | PCRE2_MATCH_INVALID_UTF, &err, &off, nullptr);
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
    std::vector<PCRE2_UCHAR> buf(4096);
    long bytes2 = 0;
    for (const auto& s : texts) {
      PCRE2_SIZE outLen = buf.size();
      pcre2_substitute(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0,
                       PCRE2_SUBSTITUTE_GLOBAL, md, nullptr, reinterpret_cast<PCRE2_SPTR>(rep.data()),
                       rep.size(), buf.data(), &outLen);
      bytes2 += static_cast<long>(outLen);
    }
    pcre2_match_data_free(md);
    pcre2_code_free(code);
    Print("replace", ours, Now() - t0, bytes, bytes2);
  }

  // --- keys -------------------------------------------------------------------------------
  {
    double t0 = Now();
    long bytes = 0;
    for (const auto& s : texts) bytes += static_cast<long>(MakeKanaKey(s).size());
    double ours = Now() - t0;
    t0 = Now();
    long bytes2 = 0;
    for (const auto& s : texts) bytes2 += static_cast<long>(StrConvText(s).size());
    Print("keys", ours, Now() - t0, bytes, bytes2);
  }

  // --- condition --------------------------------------------------------------------------
  {
    std::string names;
    for (int i = 0; i < 2000; ++i) {
      if (i) names += ',';
      names += texts[static_cast<size_t>(i) % texts.size()];
    }
    double t0 = Now();
    std::string group = BuildSakumotsuCondition(names, ':', false);
    double tGroup = Now() - t0;
    t0 = Now();
    std::string include = BuildSakumotsuCondition(names, '%', false);
    double tInclude = Now() - t0;
    std::printf("condition  ':' %6.2f ms (%zu bytes)   '%%' %6.2f ms (%zu bytes) for 2,000 names\n",
                tGroup * 1000, group.size(), tInclude * 1000, include.size());
  }
  return 0;
}
