#pragma once
// The proxy password is kept scrambled in the settings file.
#include <string>

// Each byte combined by exclusive-or with one fixed key byte; the same call turns it back.
// The key keeps printable ASCII printable, so a typical password is stored as plain
// characters of the same length.
std::string ScrambleStr(const std::string& text);

// Bytes that cannot stand in a settings value (controls, DEL, bytes above 0x7F, and "%"
// itself) as "%XX"; everything else unchanged.
std::string EncodeIniBytes(const std::string& bytes);
// Turns "%XX" (two hexadecimal digits) back into its byte; anything else, including a "%"
// not followed by two hexadecimal digits, is kept as it stands, so values written without
// this encoding read unchanged.
std::string DecodeIniBytes(const std::string& text);
