#include "app/main/cli.h"

#include <string_view>

#include "app/reflash_app.h"

namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

// "--name" or "--name=value": returns true and the value when `arg` names
// the option `name`.
bool Matches(std::string_view arg, std::string_view name, std::optional<std::string_view>& value) {
  if (arg.substr(0, name.size()) != name) {
    return false;
  }
  std::string_view rest = arg.substr(name.size());
  if (rest.empty()) {
    value.reset();
    return true;
  }
  if (rest[0] != '=') {
    return false;
  }
  value = rest.substr(1);
  return true;
}

void ParseOne(std::string_view arg, CliOptions& cli) {
  std::optional<std::string_view> value;
  auto noValue = [&](bool& flag) {
    if (value) {
      cli.errors.push_back(std::string(arg.substr(0, arg.find('='))) + " takes no value");
    } else {
      flag = true;
    }
  };
  if (Matches(arg, "--console", value)) {
    noValue(cli.console);
  } else if (Matches(arg, "--yes", value)) {
    noValue(cli.yes);
  } else if (Matches(arg, "--json", value)) {
    noValue(cli.json);
  } else if (arg == "-h") {
    cli.help = true;
  } else if (Matches(arg, "--help", value)) {
    noValue(cli.help);
  } else if (Matches(arg, "--version", value)) {
    noValue(cli.version);
  } else if (Matches(arg, "--simulate", value)) {
    cli.simulate = true;
    cli.scenario = value ? std::string(*value) : std::string();
    if (value && value->empty()) {
      cli.errors.push_back("--simulate= needs a scenario name");
    }
  } else if (Matches(arg, "--select", value)) {
    if (!value || !AllDigits(*value) || value->size() > 4) {
      cli.errors.push_back("--select needs an entry number, e.g. --select=1");
    } else {
      cli.select = std::stoi(std::string(*value));
    }
  } else if (Matches(arg, "--serial", value)) {
    if (!value || value->size() != 10 || !AllDigits(*value)) {
      cli.errors.push_back("--serial needs a 10-digit serial number, e.g. --serial=6018451234");
    } else {
      cli.serial = std::string(*value);
    }
  } else if (Matches(arg, "--trace", value)) {
    if (!value || value->empty()) {
      cli.errors.push_back("--trace needs a file name, e.g. --trace=run.trace");
    } else {
      cli.trace = std::string(*value);
    }
  } else {
    cli.errors.push_back("unknown option " + std::string(arg));
  }
}

}  // namespace

CliOptions ParseCli(int argc, const char* const* argv) {
  CliOptions cli;
  bool serialToken = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i] ? argv[i] : "";
    if (!arg.empty() && arg[0] == '-') {
      ParseOne(arg, cli);
      continue;
    }
    if (!cli.windowCommandLine.empty()) cli.windowCommandLine += ' ';
    if (arg.substr(0, 1) == "/") {
      // An absolute path is a firmware file opened with the program (the
      // desktop entry passes files this way): the window reads it as FILE=.
      if (arg.find(' ') != std::string_view::npos) {
        cli.errors.push_back("a firmware file path cannot contain a blank: " + std::string(arg));
      }
      cli.windowCommandLine += "FILE=";
    }
    cli.windowCommandLine += arg;
    serialToken = serialToken || (arg.size() >= 3 && (arg[0] == 's' || arg[0] == 'S') &&
                                  (arg[1] == 'n' || arg[1] == 'N') && arg[2] == '=');
  }
  // JSON output is for scripts: it never asks, so every question must be
  // answered on the command line.
  if (cli.json && !cli.yes && !(cli.select && serialToken)) {
    cli.errors.push_back("--json never asks: it needs --yes, or --select=N with SN=...");
  }
  return cli;
}

std::string HelpText() {
  return
      "Usage: reflash [TOKEN...] [OPTION...]\n"
      "Updates the firmware of Orvella(n) units, their ZM-DIG module and their\n"
      "option cards, and writes serial numbers. Every step is logged to\n"
      "OrvellaReflash.log in the working directory.\n"
      "\n"
      "Tokens (any case, separated by blanks):\n"
      "  SN=NNNNNNNNNN   write this serial number to the first listed device, then end\n"
      "  GETSN           ask for a serial number whenever an entry is selected, and write it\n"
      "  FILE=PATH       program this firmware file instead of the built-in image\n"
      "                  (the path cannot contain a blank)\n"
      "  PROM=1|2|B      PROM bank for a main-unit update: 1, 2 (the default) or both\n"
      "  ZSLOT           handle every entry as its unit's option card\n"
      "  /PATH           the same as FILE=/PATH (how a desktop opens a file with reflash)\n"
      "\n"
      "Options:\n"
      "  --console             use the terminal instead of the window\n"
      "  --simulate[=SCENARIO] talk to simulated units instead of real ones;\n"
      "                        --simulate=list names the scenarios\n"
      "  --yes                 answer OK to every question (console)\n"
      "  --select=N            select entry N of the unit list (0 is the first)\n"
      "  --serial=NNNNNNNNNN   the number to enter when GETSN asks (console)\n"
      "  --trace=FILE          record the traffic on the link to FILE\n"
      "  --json                events as JSON Lines on standard output (needs --yes,\n"
      "                        or --select=N with SN=...); see docs/json.md\n"
      "  -h, --help            show this text\n"
      "  --version             show the version and build date\n"
      "\n"
      "Exit status:\n"
      "  0  the run did what was asked: an update or a serial number completed, or\n"
      "     the units were shown and the window closed without an update\n"
      "  1  it failed, was cancelled, was refused at start-up or found no unit\n"
      "  2  the command line was not understood (with --yes: also an unknown token\n"
      "     or a --select entry past the list)\n"
      "  3  sent, not confirmed: over the network the last command of a card update\n"
      "     or a serial-number write went out, but the device never confirmed it\n"
      "  130, 143, 129  ended by SIGINT, SIGTERM or SIGHUP (after a clean abort; other\n"
      "                 signals give 128 + their number)\n";
}

std::string VersionText() { return ProgramVersion() + "\n"; }
