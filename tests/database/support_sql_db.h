#pragma once
// A bare in-memory SQLite connection with the program's SQL functions registered, for the
// tests of those functions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "database/sql_functions.h"

class TSqlTestDb {
 public:
  // With Preconv every SQL text passes PreconvSql first, as the program's connections do.
  explicit TSqlTestDb(bool Preconv = false) : preconv_(Preconv) {
    EXPECT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
    RegisterSqlFunctions(db_);
  }
  ~TSqlTestDb() { sqlite3_close(db_); }
  TSqlTestDb(const TSqlTestDb&) = delete;
  TSqlTestDb& operator=(const TSqlTestDb&) = delete;
  sqlite3* db() { return db_; }

  // Runs sql with the values bound to its parameters; each row's columns as text ("NULL" for
  // NULL) into rows, their types into types. False with the message in error on failure.
  bool Run(const std::string& sql, std::vector<std::vector<std::string>>* rows, std::string* error,
           std::vector<int>* types = nullptr, const std::vector<std::string>& binds = {}) {
    sqlite3_stmt* st = nullptr;
    const std::string text = preconv_ ? PreconvSql(sql) : sql;
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_);
      return false;
    }
    for (size_t k = 0; k < binds.size(); ++k)
      sqlite3_bind_text(st, static_cast<int>(k + 1), binds[k].data(), static_cast<int>(binds[k].size()),
                        SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(st); ++c) {
        if (types) types->push_back(sqlite3_column_type(st, c));
        const unsigned char* t = sqlite3_column_text(st, c);
        row.push_back(t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(st, c)) : "NULL");
      }
      if (rows) rows->push_back(row);
    }
    const bool ok = rc == SQLITE_DONE;
    if (!ok) *error = sqlite3_errmsg(db_);
    sqlite3_finalize(st);
    return ok;
  }

  // First column of the first row as text, "NULL", "<no row>", or "ERR: message".
  std::string Value(const std::string& sql, const std::vector<std::string>& binds = {}) {
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (!Run(sql, &rows, &error, nullptr, binds)) return "ERR: " + error;
    if (rows.empty() || rows[0].empty()) return "<no row>";
    return rows[0][0];
  }

  void Exec(const std::string& sql) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &msg);
    const std::string text = msg ? msg : "";
    sqlite3_free(msg);
    ASSERT_EQ(rc, SQLITE_OK) << text;
  }

 private:
  sqlite3* db_ = nullptr;
  bool preconv_;
};
