#include "frontend/display_modes.h"

namespace {

const TSeibunViewModeInfo kModes[kSeibunViewModes] = {
    {"成分簡略", 43, "dmnSvSeibunSimple", "miSvSeibunSimple", "成分に簡略表示",
     "総使用回数における有効成分表示モード1:\n成分1～5に「総使用回数における有効成分(有効成分名)簡略」表示"},
    {"成分覧", 44, "dmnSvSeibun", "miSvSeibun", "成分に表示",
     "総使用回数における有効成分表示モード2:\n成分1～5に「有効成分[総使用回数における有効成分]」を表示"},
    {"回数覧", 45, "dmnSvKaisu", "miSvKaisu", "回数に表示",
     "総使用回数における有効成分表示モード3:\n回数1～5に総使用回数における有効成分名を表示"},
    {"回数省略", 46, "dmnSvKaisuSimple", "miSvKaisuSimple", "回数に省略表示",
     "総使用回数における有効成分表示モード4:\n回数1～5に総使用回数における有効成分名を省略表示"},
    {"有効成分", 47, "dmnSvStandard", "miSvStandard", "なし", "総使用回数における有効成分表示モード5:\nなし(有効成分を表示)"},
};

}  // namespace

bool GetTekiyoViewName(int Target, bool Tsusho, int Level, std::string& Name, int Rk) {
  if (Target != 0 && Target != 1) return false;
  if (Level < 0 || Level > 4) return false;
  if (Rk != 0 && Rk != 1) return false;
  std::string n = "tv";
  if (Tsusho) n += "Tsusho";
  n += "Tekiyo";
  if (Rk == 1) n += "Rk";
  n += Target == 0 ? "Saku" : "Byochu";
  n += static_cast<char>('1' + Level);
  Name = std::move(n);
  return true;
}

std::string TekiyoViewName(int Target, bool Tsusho, int Level, bool Rk) {
  std::string name;
  GetTekiyoViewName(Target, Tsusho, Level, name, Rk ? 1 : 0);
  return name;
}

const TSeibunViewModeInfo* SeibunViewModeInfo(int Mode) {
  if (Mode < 0 || Mode >= kSeibunViewModes) return nullptr;
  return &kModes[Mode];
}
