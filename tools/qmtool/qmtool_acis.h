#pragma once
// The database folder of a qmtool command opened through the program's database object.
#include <memory>
#include <string>

class TAcisDB;

// Opens DIR/acis.db with spec.db (and jpp.db when present) attached, as a prebuilt database:
// no master refresh, no network.  On a built database (m_tekiyo exists) the per-connection
// objects are created; problems there are written to stderr as warnings.  Raises
// ESQLiteException when the file cannot be opened.
std::unique_ptr<TAcisDB> OpenAcisDB(const std::string& Dir);
