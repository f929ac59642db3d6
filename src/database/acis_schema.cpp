#include "database/acis_schema.h"

#include "database/csv_split.h"

namespace acis_schema {

std::vector<std::string> BuildTableTexts() {
  return {
      "DROP TABLE IF EXISTS main.info;\r\n"
      "CREATE TABLE main.info ([Item]VARCHAR ,[Value] VARCHAR);\r\n"
      "INSERT INTO main.info(Item,Value) VALUES ('LastUpdate','不明');\r\n"
      "INSERT INTO main.info(Item,Value) VALUES ('Version',190107);",
      "DROP TABLE IF EXISTS kihon;\r\n"
      "CREATE TEMP TABLE kihon ([bango] INTEGER,[shurui] VARCHAR,[meisho] VARCHAR,[tsusho] VARCHAR,"
      "[ryakusho] VARCHAR,[ippanmei] VARCHAR,[seibun] VARCHAR,[nodo] VARCHAR,[kongo] INTEGER,[yoto] VARCHAR,"
      "[zaikei] VARCHAR,[torokubi] VARCHAR);",
      "DROP TABLE IF EXISTS tm_kihon;\r\n"
      "CREATE TEMP TABLE tm_kihon ([bango] INTEGER PRIMARY KEY,[shurui] VARCHAR,[meisho] VARCHAR,"
      "[tsusho] VARCHAR,[ryakusho] VARCHAR,[kongo] INTEGER,[yoto] VARCHAR,[zaikei] VARCHAR,[torokubi] VARCHAR,"
      "[seibun1] VARCHAR,[seibun2] VARCHAR,[seibun3] VARCHAR,[seibun4] VARCHAR,[seibun5] VARCHAR);",
      "DROP TABLE IF EXISTS m_tekiyo;\r\n"
      "CREATE TABLE m_tekiyo ([bango] INTEGER,[sakumotsu] VARCHAR,[basho] VARCHAR,[byochu] VARCHAR,"
      "[mokuteki] VARCHAR,[baisu] VARCHAR,[ekiryo] VARCHAR,[jiki] VARCHAR,[kaisu] VARCHAR,[hoho] VARCHAR,"
      "[jikan] VARCHAR,[ondo] VARCHAR,[dojo] VARCHAR,[chitai] VARCHAR,[tekiyaku] VARCHAR,[kaisu1] VARCHAR,"
      "[kaisu2] VARCHAR,[kaisu3] VARCHAR,[kaisu4] VARCHAR,[kaisu5] VARCHAR);",
  };
}

const char* const kFillTmKihon =
    "INSERT OR IGNORE INTO tm_kihon(bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,torokubi) "
    "SELECT bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,torokubi FROM kihon "
    "WHERE bango IS NOT NULL ORDER BY rowid;";

const char* const kTmKihonConflicts =
    "SELECT bango, count(*) AS n FROM (SELECT DISTINCT bango,shurui,meisho,tsusho,ryakusho,kongo,yoto,zaikei,"
    "torokubi FROM kihon WHERE bango IS NOT NULL) GROUP BY bango HAVING count(*) > 1 ORDER BY bango;";

const char* const kBunruiSeibunIndex = "CREATE INDEX IF NOT EXISTS spec.idxBunruiSeibun ON bunrui (seibun);";

std::string MKihonScript1() {
  std::string s =
      "BEGIN TRANSACTION;\r\n"
      "DROP TABLE IF EXISTS m_kihon;\r\n"
      "DROP INDEX IF EXISTS idxBangoM;\r\n"
      "DROP TABLE IF EXISTS t_kihon1;\r\n"
      "DROP TABLE IF EXISTS t_kihon2;\r\n"
      "CREATE TEMP TABLE t_kihon1 AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei,torokubi,";
  for (int n = 1; n <= 5; ++n) {
    std::string k = std::to_string(n);
    if (n > 1) s += ",";
    s += " seibun" + k + ", (select keito from spec.bunrui where seibun = seibun" + k + ") as keito" + k +
         ", (select kokaid from spec.bunrui where seibun = seibun" + k + ") as koka" + k;
  }
  s +=
      " FROM tm_kihon;\r\n"
      "CREATE TEMP TABLE t_kihon2 AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei, torokubi, "
      "(ifnull(koka1,0) | ifnull(koka2,0) | ifnull(koka3,0) | ifnull(koka4,0) | ifnull(koka5,0)) AS idkoka, "
      "seibun1, keito1, seibun2, keito2, seibun3, keito3, seibun4, keito4, seibun5, keito5 FROM t_kihon1;\r\n"
      "COMMIT TRANSACTION;";
  return s;
}

std::string MKihonScript2() {
  std::string s =
      "BEGIN TRANSACTION;\r\n"
      "CREATE TABLE m_kihon AS SELECT bango, shurui, meisho, tsusho, ryakusho, kongo, yoto, zaikei, torokubi, "
      "CASE WHEN idkoka = 0 AND shurui LIKE '%展着剤' THEN '展着' ELSE concat('・'";
  static const int kMasks[] = {3, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768};
  for (int m : kMasks) s += ", (select koka from koka where kokaid = idkoka & " + std::to_string(m) + ")";
  s +=
      ") END AS koka, seibun1, keito1, seibun2, keito2, seibun3, keito3, seibun4, keito4, seibun5, keito5 "
      "FROM t_kihon2;\r\n"
      "CREATE INDEX idxBangoM ON m_kihon (bango);\r\n"
      "DROP TABLE t_kihon1;\r\n"
      "DROP TABLE t_kihon2;\r\n"
      "COMMIT TRANSACTION;";
  return s;
}

const char* const kCreateSeibunTable =
    "begin transaction;\r\n"
    "DROP TABLE IF EXISTS seibun;\r\n"
    "CREATE TABLE seibun AS SELECT bango,ippanmei,nodo,seibun FROM kihon ORDER BY bango;"
    "DROP TABLE IF EXISTS kihon;\r\n"
    "commit transaction;";

const char* const kIndexes[4] = {
    "CREATE INDEX idxNoSeibun ON seibun (bango);",
    "CREATE INDEX idxTsushoM ON m_kihon (tsusho);",
    "CREATE INDEX idxNo ON m_tekiyo (bango);",
    "CREATE INDEX idxTekiyoSakumotsu ON m_tekiyo (sakumotsu);",
};

const char* const kViews[3] = {"tekiyo", "vTekiyo", "vTsushoTekiyo"};

std::string TekiyoViewScript() {
  return "BEGIN TRANSACTION;\r\n"
         "DROP VIEW IF EXISTS tekiyo;\r\n"
         "DROP VIEW IF EXISTS vTekiyo;\r\n"
         "DROP VIEW IF EXISTS vTsushoTekiyo;\r\n"
         "CREATE VIEW tekiyo AS SELECT bango, shurui, meisho, tsusho, b.xidsaku as xidsaku, b.idsaku as idsaku, "
         "a.sakumotsu as sakumotsu, c.idbyochu as idbyochu, a.byochu as byochu, mokuteki, jiki, baisu, ekiryo, "
         "hoho, basho, jikan, ondo, dojo, chitai, tekiyaku, kongo, kaisu, seibun1, keito1, kaisu1, seibun2, "
         "keito2, kaisu2, seibun3, keito3, kaisu3, seibun4, keito4, kaisu4, seibun5, keito5, kaisu5, yoto, koka, "
         "zaikei, ryakusho FROM m_tekiyo AS a LEFT JOIN m_kihon USING(bango) LEFT JOIN m_sakumotsu AS b "
         "USING(sakumotsu) LEFT JOIN m_byochu AS c USING(byochu);\r\n"
         "CREATE VIEW vTekiyo AS SELECT bango, shurui, meisho, sakumotsu, byochu, mokuteki, jiki, baisu, ekiryo, "
         "hoho, basho, jikan, ondo, dojo, chitai, tekiyaku, kongo, kaisu, seibun1, keito1, kaisu1, seibun2, "
         "keito2, kaisu2, seibun3, keito3, kaisu3, seibun4, keito4, kaisu4, seibun5, keito5, kaisu5, yoto, koka, "
         "zaikei, ryakusho FROM m_tekiyo LEFT JOIN m_kihon USING(bango);\r\n"
         "CREATE VIEW vTsushoTekiyo AS SELECT DISTINCT sakumotsu, byochu, mokuteki, shurui, tsusho, jiki, baisu, "
         "ekiryo, hoho, basho, jikan, ondo, dojo, chitai, tekiyaku, kongo, kaisu, seibun1, keito1, kaisu1, "
         "seibun2, keito2, kaisu2, seibun3, keito3, kaisu3, seibun4, keito4, kaisu4, seibun5, keito5, kaisu5, "
         "yoto, koka, zaikei FROM m_tekiyo LEFT JOIN m_kihon USING(bango);\r\n"
         "COMMIT TRANSACTION;";
}

}  // namespace acis_schema

std::vector<std::string> IngredientItems(std::string_view Shurui) {
  std::string s(Shurui);
  ReplaceAll(s, "・", "|");
  ReplaceAll(s, " ", "_");
  for (const char* w : {"粉粒剤", "水和剤", "乳剤", "液剤", "粉剤"}) ReplaceAll(s, w, "");
  if (s.find("全卵粉末") == std::string::npos) ReplaceAll(s, "粉末", "");
  for (const char* w : {"粒剤", "マイクロカプセル剤", "水溶剤", "くん蒸剤", "燻蒸剤", "くん煙剤", "くん煙成型剤",
                        "ペースト剤", "塗布剤", "エアゾル", "油剤", "複合肥料"})
    ReplaceAll(s, w, "");
  if (s.find("石灰硫黄合剤") == std::string::npos) ReplaceAll(s, "剤", "");
  ReplaceAll(s, "水和硫黄", "硫黄");

  std::vector<std::string> items;
  if (s.empty()) return items;
  size_t start = 0;
  while (true) {
    size_t bar = s.find('|', start);
    std::string item = s.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (item.find("展着") != std::string::npos) item.clear();
    if (item.find("除虫菊") != std::string::npos) item = "ピレトリン";
    if (item.find("シアン酸塩") != std::string::npos) item = "シアン酸ナトリウム";
    ReplaceUnderscores(item);
    items.push_back(std::move(item));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return items;
}
