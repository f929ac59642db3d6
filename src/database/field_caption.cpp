#include "database/field_caption.h"

#include <string>
#include <unordered_map>

#include "foundation/text_utils.h"

namespace {

struct TCaption {
  const char* name;
  const char* title;
};

// One entry per column name; several names share "備考" and "用途".
const TCaption kCaptions[] = {
    {"ippanmei", "有効成分"},
    {"seibun", "総使用回数における有効成分"},
    {"nodo", "濃度"},
    {"zaikei", "剤型"},
    {"torokubi", "登録年月日"},
    {"kigen", "有効期限"},
    {"bango", "番号"},
    {"yoto", "用途"},
    {"shurui", "農薬の種類"},
    {"meisho", "農薬の名称"},
    {"tsusho", "農薬通称"},
    {"ryakusho", "申請者"},
    {"xidsaku", "旧作物コード"},
    {"idsaku", "作物コード"},
    {"sakumotsu", "作物名"},
    {"basho", "適用場所"},
    {"idbyochu", "病害虫コード"},
    {"byochu", "適用病害虫雑草名"},
    {"mokuteki", "使用目的"},
    {"baisu", "希釈倍数使用量"},
    {"ekiryo", "散布液量"},
    {"jiki", "使用時期"},
    {"kaisu", "本剤の使用回数"},
    {"hoho", "使用方法"},
    {"jikan", "くん蒸時間"},
    {"ondo", "くん蒸温度"},
    {"dojo", "適用土壌"},
    {"chitai", "適用地帯名"},
    {"tekiyaku", "適用農薬名"},
    {"kongo", "混合数"},
    {"kaisu1", "回数1"},
    {"kaisu2", "回数2"},
    {"kaisu3", "回数3"},
    {"kaisu4", "回数4"},
    {"kaisu5", "回数5"},
    {"seibun1", "成分1"},
    {"seibun2", "成分2"},
    {"seibun3", "成分3"},
    {"seibun4", "成分4"},
    {"seibun5", "成分5"},
    {"keito1", "系統1"},
    {"keito2", "系統2"},
    {"keito3", "系統3"},
    {"keito4", "系統4"},
    {"keito5", "系統5"},
    {"gyodoku", "魚毒性"},
    {"dokusei", "毒性"},
    {"seizaieikyo", "製剤影響"},
    {"seibuneikyo", "水産影響評価済"},
    {"biko", "備考"},
    {"dokuseimei", "毒性一覧の有効成分名"},
    {"seibunmei", "登録有効成分名"},
    {"koka", "効果"},
    {"chuijiko", "注意事項"},
    {"koshin", "更新"},
    {"keito", "系統名"},
    {"kagakumei", "化学名"},
    {"nodochu", "濃度(注)"},
    {"jogai", "毒劇除外"},
    {"jyogai1", "毒劇除外1"},
    {"jyogai2", "毒劇除外2"},
    {"mid", "RACコード"},
    {"sayoten", "作用点"},
    {"sayokiko", "作用機構"},
    {"fgroup", "備考"},
    {"risk", "FRAC耐性リスク"},
    {"mid1", "RAC1"},
    {"mid2", "RAC2"},
    {"mid3", "RAC3"},
    {"mid4", "RAC4"},
    {"mid5", "RAC5"},
    {"hatsutoroku", "初登録年月日"},
    {"nai", "Name of active ingredients"},
    {"ishoku", "移植"},
    {"chokuha", "直播"},
    {"ine", "WCS"},
    {"momi", "籾米"},
    {"jogaiseibun", "除外成分"},
    {"jogainodo", "除外濃度"},
    {"jogaisiki", "除外式"},
    {"kousin", "更新予定"},
    {"seizaidokusei", "製剤毒性"},
    {"superior", "上位作物"},
    {"crop", "農作物名"},
    {"family", "科名"},
    {"synonym", "別名"},
    {"kana", "ひらがな"},
    {"nomen", "学名"},
    {"english", "英名"},
    {"harvest", "収穫部位"},
    {"cultivate", "栽培方法"},
    {"use", "用途"},
    {"maturity", "成熟度"},
    {"note", "備考"},
    {"itgl", "ITガイドライン小分類"},
    {"bunruihyo", "食品分類表の食品名"},
    {"seibunhyo", "日本食品標準成分表の食品名"},
    {"wamei", "品種登録DB植物種類(和名)"},
    {"hinshu", "品種登録DB品種名称"},
    {"ncbi", "NCBI ID"},
    {"wikipedia", "WIKIPEDIA 項目名"},
    {"agrovac", "AGROVAC ID"},
};

const std::unordered_map<std::string_view, std::string_view>& CaptionMap() {
  static const std::unordered_map<std::string_view, std::string_view> map = [] {
    std::unordered_map<std::string_view, std::string_view> m;
    for (const TCaption& c : kCaptions) m.emplace(c.name, c.title);
    return m;
  }();
  return map;
}

}  // namespace

std::string FieldCaption(std::string_view Name) {
  const std::string lower = AsciiLowerCase(std::string(Name));
  const auto& map = CaptionMap();
  auto it = map.find(lower);
  if (it == map.end()) return std::string(Name);
  return std::string(it->second);
}

int FieldCaptionCount() { return static_cast<int>(CaptionMap().size()); }
