#pragma once
// The base address of the public registration-data service, shared by the data update (its
// pages and archives) and the posted look-ups of the HTML view.
//
// The built-in default is the real service; QUILLMAR_ACIS_BASE (scheme, host and an optional
// path prefix, "http://127.0.0.1:8080") overrides it, read at every call so that a test or a
// site with its own copy can point the program elsewhere.
#include <string>

// Built-in public service base (https).
inline constexpr const char* kAcisServiceBase = "https://www.acis.famic.go.jp";

// Base address of the public service (no trailing "/").
std::string PublicServiceBase();
