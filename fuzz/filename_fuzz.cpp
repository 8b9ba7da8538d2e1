// Fuzzes ParseFirmwareFileName against a plain restatement of the naming
// rule: the tag decides the product id, the version is read at fixed
// positions, and anything else fails with no ids.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/firmware_images.h"
#include "platform/ui/ui_host.h"

namespace {

// Message boxes are answered silently.
class QuietHost : public platform::ui::Host {
 public:
  std::unique_ptr<platform::ui::DialogWindow> CreateDialog(const platform::ui::DialogTemplate&,
                                                           platform::ui::DialogEvents&,
                                                           platform::ui::DialogWindow*) override {
    return nullptr;
  }
  platform::ui::Answer MessageBox(const platform::ui::MessageBoxRequest&) override {
    ++messages;
    return platform::ui::Answer::Ok;
  }
  void SetWaitCursor(bool) override {}
  int messages = 0;
};

uint16_t Digits(const std::string& s, size_t pos) {
  unsigned value = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])))
    value = (value * 10 + (s[pos++] - '0')) % 65536;
  return static_cast<uint16_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static QuietHost host;
  static platform::Override<platform::ui::Host> guard(host);
  static CFirmwareImages images;

  std::string name(reinterpret_cast<const char*>(data), size);
  name = name.c_str();  // the parser sees a C string
  std::string tag = name.substr(0, 4);
  for (char& c : tag) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  int wantId = -1;
  unsigned wantVersion = 0;
  if (tag == "ZMDI") wantId = 2, wantVersion = Digits(name, 5);
  if (tag == "ZTMA") wantId = 19, wantVersion = Digits(name, 4);
  if (tag == "ZTDN") wantId = 21, wantVersion = Digits(name, 5);
  if (tag == "ZTHD") wantId = 24, wantVersion = Digits(name, 4);
  if (tag == "ZTFW") wantId = 25, wantVersion = Digits(name, 4);
  if (tag == "ZTUS") wantId = 50, wantVersion = (100u * Digits(name, 5) + Digits(name, 7)) % 65536;
  if (tag == "NBT0") wantId = 96, wantVersion = Digits(name, 3);

  uint8_t id = 0;
  uint16_t version = 0;
  const int before = host.messages;
  bool ok = images.ParseFirmwareFileName(name.c_str(), nullptr, &id, &version);
  if (wantId < 0) {
    if (ok || id != 0xFF || version != 0xFFFF || host.messages != before + 1) std::abort();
  } else if (!ok || id != wantId || version != wantVersion || host.messages != before) {
    std::abort();
  }
  return 0;
}
