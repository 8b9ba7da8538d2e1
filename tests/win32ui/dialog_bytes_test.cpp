// The dialog templates as the system's in-memory templates: read back from
// the bytes, and built by the system's own dialog functions, they say what
// the templates say (controls, ids, positions in dialog units, captions).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/resources/dialog_templates.h"
#include "platform/core/wide_text_win32.h"
#include "platform/win32ui/dialog_bytes.h"
#include "platform/win32ui/windows_api.h"

namespace {

using platform::ui::ControlKind;
using platform::ui::ControlTemplate;
using platform::ui::DialogTemplate;
using platform::win32::Narrow;
using platform::win32ui::DialogTemplateBytes;

// A reader of the extended template, independent of the writer.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint16_t Word() {
    if (at_ + 2 > bytes_.size()) throw std::out_of_range("template cut short");
    const uint16_t v = static_cast<uint16_t>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    return low | static_cast<uint32_t>(Word()) << 16;
  }
  int Short() { return static_cast<int16_t>(Word()); }
  uint8_t Byte() {
    if (at_ >= bytes_.size()) throw std::out_of_range("template cut short");
    return bytes_[at_++];
  }
  std::string Text() {
    std::wstring text;
    for (uint16_t c = Word(); c != 0; c = Word()) text.push_back(static_cast<wchar_t>(c));
    return Narrow(text);
  }
  // An ordinal ("#atom") or a name.
  std::string OrdinalOrText() {
    if (bytes_.at(at_) == 0xFF && bytes_.at(at_ + 1) == 0xFF) {
      Word();
      return "#" + std::to_string(Word());
    }
    return Text();
  }
  void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }
  size_t At() const { return at_; }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

std::string ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::Label:
    case ControlKind::Icon:
      return "#130";
    case ControlKind::ComboBox:
      return "#133";
    case ControlKind::Button:
    case ControlKind::DefaultButton:
      return "#128";
    case ControlKind::ProgressBar:
      return "msctls_progress32";
    case ControlKind::Edit:
      return "#129";
  }
  return "";
}

struct Named {
  const char* name;
  const DialogTemplate& tmpl;
  bool topLevel;
};

std::vector<Named> AllTemplates() {
  return {{"main", resources::MainDialogTemplate(), true},
          {"serial", resources::SerialDialogTemplate(), false},
          {"about", resources::AboutDialogTemplate(), false}};
}

TEST(DialogBytes, EveryTemplateReadsBackAsWritten) {
  for (const Named& n : AllTemplates()) {
    SCOPED_TRACE(n.name);
    const DialogTemplate& t = n.tmpl;
    const std::vector<uint8_t> bytes = DialogTemplateBytes(t, n.topLevel);
    Reader r(bytes);
    EXPECT_EQ(r.Word(), 1);       // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF);  // the extended form
    EXPECT_EQ(r.Dword(), 0u);     // helpID
    EXPECT_EQ(r.Dword(), 0u);     // exStyle
    const uint32_t style = r.Dword();
    EXPECT_TRUE(style & DS_SETFONT);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_VISIBLE) << "shown by the modal run, after its initialisation";
    EXPECT_EQ((style & WS_SYSMENU) != 0, t.systemMenu);
    EXPECT_EQ((style & WS_MINIMIZEBOX) != 0, n.topLevel);
    EXPECT_EQ(r.Word(), t.controls.size());
    r.Short();
    r.Short();
    EXPECT_EQ(r.Short(), t.width);
    EXPECT_EQ(r.Short(), t.height);
    EXPECT_EQ(r.OrdinalOrText(), "");  // no menu
    EXPECT_EQ(r.OrdinalOrText(), "");  // the system's dialog class
    EXPECT_EQ(r.Text(), t.caption);
    EXPECT_EQ(r.Word(), t.fontPoints);
    EXPECT_EQ(r.Word(), FW_NORMAL);
    EXPECT_EQ(r.Byte(), 0);  // not italic
    r.Byte();
    EXPECT_EQ(r.Text(), t.fontName);

    for (const ControlTemplate& c : t.controls) {
      SCOPED_TRACE(c.text + " id " + std::to_string(c.id));
      r.AlignDword();
      EXPECT_EQ(r.Dword(), 0u);  // helpID
      EXPECT_EQ(r.Dword(), 0u);  // exStyle
      const uint32_t s = r.Dword();
      EXPECT_TRUE(s & WS_CHILD);
      EXPECT_EQ((s & WS_VISIBLE) != 0, c.visible);
      const bool takesKeyboard = c.kind == ControlKind::ComboBox || c.kind == ControlKind::Button ||
                                 c.kind == ControlKind::DefaultButton || c.kind == ControlKind::Edit;
      EXPECT_EQ((s & WS_TABSTOP) != 0, takesKeyboard);
      if (c.kind == ControlKind::DefaultButton) {
        EXPECT_EQ(s & 0xF, static_cast<uint32_t>(BS_DEFPUSHBUTTON));
      }
      if (c.kind == ControlKind::Button) {
        EXPECT_EQ(s & 0xF, static_cast<uint32_t>(BS_PUSHBUTTON));
      }
      if (c.kind == ControlKind::Label) {
        EXPECT_TRUE(s & SS_NOPREFIX) << "'&' in a device name is shown as it is";
      }
      if (c.kind == ControlKind::Edit) {
        EXPECT_EQ((s & ES_NUMBER) != 0, c.digitsOnly);
      }
      if (c.kind == ControlKind::ComboBox) {
        EXPECT_EQ(s & 0xF, static_cast<uint32_t>(CBS_DROPDOWNLIST));
      }
      EXPECT_EQ(r.Short(), c.x);
      EXPECT_EQ(r.Short(), c.y);
      EXPECT_EQ(r.Short(), c.width);
      EXPECT_EQ(r.Short(), c.height);
      EXPECT_EQ(r.Dword(), c.id == platform::ui::kNoId ? 0xFFFFu : static_cast<uint32_t>(c.id));
      EXPECT_EQ(r.OrdinalOrText(), ClassFor(c.kind));
      EXPECT_EQ(r.Text(), c.text);
      EXPECT_EQ(r.Word(), 0);  // no creation data
    }
    EXPECT_EQ(r.At(), bytes.size());
  }
}

// One control, byte for byte: the layout the system reads, with the
// padding that puts each item on a DWORD boundary.
TEST(DialogBytes, OneLabelByteForByte) {
  DialogTemplate t;
  t.caption = "A";
  t.fontName = "B";
  t.width = 0x0102;
  t.height = 0x0304;
  ControlTemplate c;
  c.id = 7;
  c.text = "\xC3\xA9";  // one character in UTF-8, one unit in UTF-16
  c.x = -1;
  c.y = 2;
  c.width = 3;
  c.height = 4;
  t.controls.push_back(c);
  const std::vector<uint8_t> bytes = DialogTemplateBytes(t, false);
  // Header: 26 bytes, menu and class 4, caption 4, font 6 + 4 = 44.
  ASSERT_EQ(bytes.size(), 44u + 24 + 4 + 4 + 2);
  const std::vector<uint8_t> item(bytes.begin() + 44, bytes.end());
  const uint32_t style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
  const std::vector<uint8_t> expected = {
      0, 0, 0, 0,  // helpID
      0, 0, 0, 0,  // exStyle
      static_cast<uint8_t>(style), static_cast<uint8_t>(style >> 8), static_cast<uint8_t>(style >> 16),
      static_cast<uint8_t>(style >> 24),
      0xFF, 0xFF, 2, 0, 3, 0, 4, 0,  // x -1, y, cx, cy
      7, 0, 0, 0,                    // id
      0xFF, 0xFF, 0x82, 0x00,        // the static class by its atom
      0xE9, 0x00, 0, 0,              // the text
      0, 0};                         // no creation data
  EXPECT_EQ(item, expected);
  EXPECT_EQ(bytes[22], 0x02);  // cx, low byte first
  EXPECT_EQ(bytes[23], 0x01);
}

INT_PTR CALLBACK QuietProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::string ClassName(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return Narrow(name);
}

std::string Text(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return Narrow(text);
}

// The system's own dialog manager builds each template: every control is
// where the template puts it in dialog units of the template's font.
TEST(DialogBytes, TheSystemLaysTheDialogsOutAsTheTemplatesSay) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  for (const Named& n : AllTemplates()) {
    SCOPED_TRACE(n.name);
    const std::vector<uint8_t> bytes = DialogTemplateBytes(n.tmpl, n.topLevel);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr, QuietProc, 0);
    ASSERT_NE(dialog, nullptr) << GetLastError();
    EXPECT_EQ(Text(dialog), n.tmpl.caption);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(Narrow(font.lfFaceName), n.tmpl.fontName);

    RECT size{0, 0, n.tmpl.width, n.tmpl.height}, client{};
    MapDialogRect(dialog, &size);
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    int withId = 0;
    for (const ControlTemplate& c : n.tmpl.controls) {
      if (c.id == platform::ui::kNoId) continue;
      ++withId;
      SCOPED_TRACE("id " + std::to_string(c.id));
      HWND control = GetDlgItem(dialog, c.id);
      ASSERT_NE(control, nullptr);
      const std::string cls = ClassName(control);
      switch (c.kind) {
        case ControlKind::Label:
          EXPECT_STRCASEEQ(cls.c_str(), "Static");
          EXPECT_EQ(Text(control), c.text);
          break;
        case ControlKind::Button:
        case ControlKind::DefaultButton:
          EXPECT_STRCASEEQ(cls.c_str(), "Button");
          EXPECT_EQ(Text(control), c.text);
          break;
        case ControlKind::ComboBox:
          EXPECT_STRCASEEQ(cls.c_str(), "ComboBox");
          break;
        case ControlKind::Edit:
          EXPECT_STRCASEEQ(cls.c_str(), "Edit");
          break;
        case ControlKind::ProgressBar:
          EXPECT_STRCASEEQ(cls.c_str(), "msctls_progress32");
          break;
        case ControlKind::Icon:
          break;
      }
      EXPECT_EQ((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0, c.visible);
      // The system maps the position and the size each on its own.
      RECT position{c.x, c.y, c.width, c.height}, actual{};
      MapDialogRect(dialog, &position);
      GetWindowRect(control, &actual);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
      EXPECT_EQ(actual.left, position.left);
      EXPECT_EQ(actual.top, position.top);
      EXPECT_EQ(actual.right - actual.left, position.right);
      // A closed drop-down list is as high as its font needs; the
      // template's height is that of the open list.
      if (c.kind != ControlKind::ComboBox) {
        EXPECT_EQ(actual.bottom - actual.top, position.bottom);
      }
    }
    EXPECT_GT(withId, 0);
    DestroyWindow(dialog);
  }
}

}  // namespace
