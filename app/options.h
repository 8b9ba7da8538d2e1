#pragma once
// Command-line options of the update window: blank-separated, upper-cased
// tokens matched by prefix against "SN=", "GETSN", "FILE=", "PROM=" and
// "ZSLOT". Our own "--" options match none of them and are ignored here.
#include <cstdint>
#include <functional>
#include <string>

struct Options {
  uint32_t m_dwCommandLineSerial = 0;  // "SN=": packed number, 0 = absent
  bool m_bGetSerialNumber = false;     // "GETSN"
  uint8_t m_nPromSelect = 1;           // "PROM=": 0 PROM1, 1 PROM2, 2 both
  bool m_bCardMode = false;            // "ZSLOT"
  bool m_bCardModeFixed = false;       // "ZSLOT"
};

struct OptionHooks {
  // "SN=" value (upper-cased). Returns false when the run must end.
  std::function<bool(const std::string& value)> serial;
  // "FILE=" path, cut at the first blank, in the case it was typed (only
  // the prefix is matched without regard to case).
  std::function<void(const std::string& path)> file;
  // A token that matches none of the five prefixes, as typed. Returns
  // false when the run must end; without this hook such tokens are ignored.
  std::function<bool(const std::string& token)> unknown;
};

// Resets `options`, then applies every token in order. Returns false when
// the "SN=" or the unknown-token hook refused (parsing stops there).
bool ParseOptions(const std::string& commandLine, Options& options, const OptionHooks& hooks);
