#pragma once
// The program's own command-line options, parsed apart from the window's
// tokens (SN=, GETSN, FILE=, PROM=, ZSLOT). An argument that starts with
// "-" is always one of our options (or a usage error); only the other
// arguments reach the window, so an option's value never becomes a token.
#include <optional>
#include <string>
#include <vector>

// Exit status of a run.
constexpr int kExitDone = 0;     // the run did what was asked
constexpr int kExitFailed = 1;   // failed, cancelled, refused or found no unit
constexpr int kExitUsage = 2;    // the command line was not understood
constexpr int kExitUnconfirmed = 3;  // the last command went out, the device never confirmed it

struct CliOptions {
  bool console = false;              // --console: terminal front end
  bool simulate = false;             // --simulate[=SCENARIO]
  std::string scenario;              // empty: the default scenario
  bool yes = false;                  // --yes: answer OK to every question
  std::optional<int> select;         // --select=N: unit-list entry to select
  std::optional<std::string> serial; // --serial=NNNNNNNNNN: serial-number dialog answer
  std::string trace;                 // --trace=FILE: record link traffic
  bool json = false;                 // --json: JSON Lines on standard output
  bool help = false;                 // --help, -h
  bool version = false;              // --version
  std::string windowCommandLine;     // the token arguments, joined by blanks
  std::vector<std::string> errors;   // one line per option not understood
};

// Parses argv[1..argc-1].
CliOptions ParseCli(int argc, const char* const* argv);

// The --help text.
std::string HelpText();

// The --version text: program name, version and build stamp, with "\n".
std::string VersionText();
