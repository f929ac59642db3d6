#pragma once
// The indexes behind the look-ups the result views make per row: the RAC tables by general
// name, the toxicity table by either of its names, the ISO table and the ingredient table by
// general name, the classification table by ingredient; and the pairs of crop and product of
// the use table (the chemical tab's crop restriction). They are made where the data are
// written (the build, a master script that ran, the install of a prebuilt database), never
// when a database is opened, so a reader never writes.
#include <functional>
#include <string>

class TSQLiteDb;

// Creates the missing look-up indexes in every database of the connection (main and the
// attached ones) whose table is there; a table that is missing, lacks a column, or is already
// read through an index on the same leading column is left alone. Failures go to Log and do
// not stop the others. Returns the number of indexes created.
int CreateLookupIndexes(TSQLiteDb& Db, const std::function<void(const std::string&)>& Log = {});
