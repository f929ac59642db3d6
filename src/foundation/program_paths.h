#pragma once
// The program folder: where quillmar.ini lives and below which the database, download,
// template and style-sheet folders are.
#include <string>

// The folder of the running executable, with a trailing "/". When that folder is not
// writable, the per-user data folder ~/.local/share/Quillmar/Quillmar/ (created when
// missing). The environment variable QUILLMAR_APPDIR, when set, names the folder instead
// (for tests and portable set-ups). Works before the application object exists.
std::string ProgramDir();
// The folder of the running executable, with a trailing "/".
std::string ExecutableDir();
// The per-user data folder used when the executable's folder is not writable, with "/".
std::string UserDataDir();
// `dir` with exactly one trailing "/".
std::string WithTrailingSlash(const std::string& dir);
