#pragma once
// The argument walk of the subcommands: options, the values that follow them, and plain
// arguments, in the order given.
#include <string>

class TQmToolArgs {
 public:
  // argv[0] is the subcommand's name and is skipped.
  TQmToolArgs(int argc, char** argv) : argc_(argc), argv_(argv) {}

  // The next argument into Arg; false when none is left.
  bool Next(std::string& Arg) {
    if (i_ + 1 >= argc_) return false;
    Arg = argv_[++i_];
    return true;
  }
  // The value following the current option, consumed; false (Out unchanged) when the option
  // was the last argument.
  bool Value(std::string& Out) { return Next(Out); }

 private:
  int argc_;
  char** argv_;
  int i_ = 0;
};
