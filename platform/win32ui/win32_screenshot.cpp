#include "platform/win32ui/win32_screenshot.h"


#include <cstdio>
#include <vector>

#include "platform/core/wide_text_win32.h"
#include "platform/win32ui/win32_dialog.h"
#include "platform/win32ui/win32_host.h"

namespace platform::win32ui {

namespace {

Screenshot* active = nullptr;

constexpr uint64_t kSettleMs = 200;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

bool SaveWindowPicture(HWND window, const std::string& file) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file keeps it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  std::vector<uint8_t> pixels(stride * static_cast<uint32_t>(height));
  const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) return false;

  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 54 + static_cast<uint32_t>(pixels.size()));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(height));
  Put16(out, 1);
  Put16(out, 24);
  for (int i = 0; i < 6; ++i) Put32(out, 0);  // no compression, sizes and palette left to the reader
  out.insert(out.end(), pixels.begin(), pixels.end());

  FILE* f = _wfopen(win32::Wide(file).c_str(), L"wb");
  if (!f) return false;
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && written;
}

Screenshot::Screenshot(Win32Host& host, ui::ScreenshotPlan plan) : host_(host), plan_(std::move(plan)) {
  active = this;
  host_.SetMessageBoxHook([](const ui::MessageBoxRequest&) { return std::optional<ui::Answer>(ui::Answer::Ok); });
  host_.SetShownHook([this](Win32DialogWindow& dialog) {
    if (window_ || !dialog.IsTopLevel()) return;
    window_ = dialog.Handle();
    shownAt_ = GetTickCount64();
    timer_ = SetTimer(nullptr, 0, 20, Poll);
  });
}

Screenshot::~Screenshot() {
  if (timer_) KillTimer(nullptr, timer_);
  active = nullptr;
  host_.SetShownHook(nullptr);
  host_.SetMessageBoxHook(nullptr);
  if (!taken_) std::fprintf(stderr, "reflash: no screenshot taken for %s\n", plan_.file.c_str());
}

void CALLBACK Screenshot::Poll(HWND, UINT, UINT_PTR, DWORD) {
  if (active) active->Check();
}

bool Screenshot::ConditionMet(Win32DialogWindow& dialog) const {
  if (plan_.visibleId != 0 && !dialog.IsVisible(plan_.visibleId)) return false;
  if (plan_.progress >= 0) {
    bool reached = false;
    for (int id : dialog.IdsOf(ui::ControlKind::ProgressBar)) {
      HWND bar = GetDlgItem(dialog.Handle(), id);
      if (!dialog.IsVisible(id)) continue;
      const int low = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, TRUE, 0));
      const int high = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
      const int pos = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
      if (high > low) reached = reached || (pos - low) * 100 / (high - low) >= plan_.progress;
    }
    if (!reached) return false;
  }
  return true;
}

// Runs on a timer of its own; the click below may run a whole update, and
// the checks made meanwhile (nested in it) take the picture and close.
void Screenshot::Check() {
  Win32DialogWindow* dialog = host_.Find(window_);
  if (!dialog) {
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    return;
  }
  if (!ready_) {
    if (GetTickCount64() - shownAt_ < static_cast<uint64_t>(plan_.delayMs)) return;
    ready_ = true;
    if (plan_.pressId != 0) {
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(plan_.pressId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(window_, plan_.pressId)));
    }
    return;
  }
  if (!taken_ && !metAt_ && ConditionMet(*dialog)) metAt_ = GetTickCount64();
  // What was just drawn may take a moment to reach the screen (under Wine,
  // until the window's surface is flushed): the picture waits for it.
  if (!taken_ && metAt_ && GetTickCount64() - metAt_ >= kSettleMs) {
    taken_ = true;
    if (!SaveWindowPicture(window_, plan_.file))
      std::fprintf(stderr, "reflash: cannot write %s\n", plan_.file.c_str());
  }
  if (taken_ && !closing_ && dialog->IsRunning()) {
    for (int id : {1, 2}) {
      if (!dialog->IsVisible(id)) continue;
      closing_ = true;
      PostMessageW(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window_, id)));
      break;
    }
  }
}

}  // namespace platform::win32ui
