#pragma once
// Japanese column titles of the result grids.
#include <string>
#include <string_view>

// The title of a database column name (compared in lower case, ASCII letters only); a name
// without an entry comes back unchanged.
std::string FieldCaption(std::string_view Name);

// Number of names that have a title (for the tests).
int FieldCaptionCount();
