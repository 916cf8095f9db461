#pragma once
// The command line of auditor that needs no window: --help and --version are answered before
// the application is made, so that they work where there is no display.

#include <optional>

// The help text (--help).
extern const char* const kAuditorUsage;

// The exit status of a run that --help or --version answers (the text goes to standard
// output); nullopt when the command line is the window's: [DSN PASSWORD].
std::optional<int> AnswerWithoutWindow(int argc, const char* const* argv);
