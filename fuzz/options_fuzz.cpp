// The command-line parser with the "SN=" value packed and checked as the
// window does: any text must parse without a fault, and what the hooks
// receive must follow the token rules (the "FILE=" path keeps its case,
// everything else is upper-cased).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/options.h"
#include "app/serial_number.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// A token holds no blank; `upper` ones hold no lower-case letter either.
bool ValidToken(const std::string& value, bool upper) {
  for (char c : value) {
    if (c == ' ' || (upper && c >= 'a' && c <= 'z')) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string commandLine(reinterpret_cast<const char*>(data), size);
  Options options;
  OptionHooks hooks;
  hooks.serial = [&](const std::string& value) {
    Require(ValidToken(value, true));
    uint32_t serial = PackSerialNumber(value);
    std::string text = FormatSerialNumber(serial);
    Require(text.size() == 10);
    Require(PackSerialNumber(text) == serial);
    if (!IsValidSerialNumber(serial)) {
      return false;
    }
    options.m_dwCommandLineSerial = serial;
    return true;
  };
  hooks.file = [&](const std::string& path) { Require(ValidToken(path, false)); };
  ParseOptions(commandLine, options, hooks);
  Require(options.m_nPromSelect <= 2);
  Require(options.m_bCardMode == options.m_bCardModeFixed);
  return 0;
}
