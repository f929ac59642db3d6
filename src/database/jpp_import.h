#pragma once
// The JPP-NET product ("剤の概要", n_trk*_1.txt) and ingredient ("有効成分", n_trk*_3.txt) files
// and their tables jpp.jppSeizai and jpp.jppSeibun in jpp.db. The import itself is an operation
// of TAcisDB (ImportJppSeizaiCsv, ImportJppSeibunCsv); this header holds what the callers that
// only look at a file need.
#include <string>
#include <string_view>

enum class TJppFileKind { None, Seizai, Seibun };

// The expected header lines (the column headers joined with ",", starting with "#登録番号").
const std::string& JppSeizaiHeader();
const std::string& JppSeibunHeader();

// Which kind of file a first line (UTF-8) announces: it holds one of the expected headers.
TJppFileKind JppKindOfLine(std::string_view FirstLine);
// The same for a file (CP932 or UTF-8, detected); None when it cannot be read.
TJppFileKind JppKindOfFile(const std::string& FileName);

// The table a kind of file is imported into ("jpp.jppSeizai", "jpp.jppSeibun"; empty for None).
const char* JppTableName(TJppFileKind Kind);

// True when the line, read so far, ends inside a double-quoted field: the record goes on on
// the next line (a quoted field may hold line breaks).
bool CsvRecordOpen(std::string_view Line);
