#pragma once
// The display modes of the crop and pest results: trade-name mode, RAC-group mode and the five
// ways of showing the active ingredients counted in the total number of applications. Together
// they name the per-connection view the crop and pest searches select from.
#include <string>

// Result view name: "tv", "Tsusho" when `Tsusho`, "Tekiyo", "Rk" when `Rk` is 1, "Saku"
// (Target 0) or "Byochu" (Target 1), then the digit Level + 1. A Target other than 0 or 1, a
// Level outside 0..4 or an Rk other than 0 or 1 leaves `Name` unchanged and returns false.
bool GetTekiyoViewName(int Target, bool Tsusho, int Level, std::string& Name, int Rk);
// The same as a value; empty for arguments GetTekiyoViewName refuses.
std::string TekiyoViewName(int Target, bool Tsusho, int Level, bool Rk);

inline constexpr int kSeibunViewModes = 5;

// One ingredient display mode: tool-button caption, image index, the two menu items checked
// for it (drop-down and search menu), the search-menu caption and the button hint.
struct TSeibunViewModeInfo {
  const char* Caption;
  int ImageIndex;
  const char* DropDownItem;
  const char* MenuItem;
  const char* MenuCaption;
  const char* Hint;
};

// Mode 0..4; nullptr for other values.
const TSeibunViewModeInfo* SeibunViewModeInfo(int Mode);
