#pragma once
// The trade name of a product: the product name with the names and marks of makers and
// distributors removed.
#include <string>
#include <string_view>

// Runs the fixed list of replacements over `name`, in order, each replacing every
// occurrence (plain text, case-sensitive) and seeing the result of the ones before.
std::string MakeTsusho(std::string_view name);

// Number of entries in the replacement list (for the tests).
size_t MakeTsushoEntryCount();
