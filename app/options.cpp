#include "app/options.h"

#include <string_view>
#include <vector>

namespace {

// Upper-cases ASCII letters only, so the result does not depend on the
// locale and other bytes pass unchanged.
std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

// Blanks separate tokens and a run of blanks is one separator; tabs and
// quotes are ordinary characters.
std::vector<std::string> SplitAtBlanks(const std::string& text) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = text.find_first_not_of(' ', pos);
    if (start == std::string::npos) {
      break;
    }
    size_t end = text.find(' ', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    tokens.push_back(text.substr(start, end - start));
    pos = end;
  }
  return tokens;
}

bool StartsWith(const std::string& token, std::string_view prefix) {
  return token.compare(0, prefix.size(), prefix) == 0;
}

// "PROM=": only the character after the prefix counts.
uint8_t PromSelect(const std::string& token) {
  char c = token.size() > 5 ? token[5] : '\0';
  if (c == 'B') {
    return 2;  // both banks
  }
  return c == '1' ? 0 : 1;  // PROM1, else PROM2
}

}  // namespace

bool ParseOptions(const std::string& commandLine, Options& options, const OptionHooks& hooks) {
  options = Options{};
  for (const std::string& typed : SplitAtBlanks(commandLine)) {
    const std::string token = UpperCase(typed);
    if (StartsWith(token, "SN=")) {
      if (hooks.serial && !hooks.serial(token.substr(3))) {
        return false;
      }
    }
    if (StartsWith(token, "GETSN")) {
      options.m_bGetSerialNumber = true;
    }
    if (StartsWith(token, "FILE=")) {
      if (hooks.file) {
        // The path as typed: on this system file names are case-sensitive,
        // so an upper-cased path would name a file that is not there.
        hooks.file(typed.substr(5));
      }
    }
    if (StartsWith(token, "PROM=")) {
      options.m_nPromSelect = PromSelect(token);
    }
    if (StartsWith(token, "ZSLOT")) {
      options.m_bCardMode = true;
      options.m_bCardModeFixed = true;
    }
    const bool known = StartsWith(token, "SN=") || StartsWith(token, "GETSN") || StartsWith(token, "FILE=") ||
                       StartsWith(token, "PROM=") || StartsWith(token, "ZSLOT");
    if (!known && hooks.unknown && !hooks.unknown(typed)) {
      return false;
    }
  }
  return true;
}
