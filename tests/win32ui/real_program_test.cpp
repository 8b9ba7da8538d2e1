// The real program, started without --console under Wine: it opens the
// native window on a simulated unit, and a user (this test, from another
// process, through the system's window calls only) reads it, presses
// Update, answers the confirmation, and closes it when done.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "app/resources/dialog_templates.h"
#include "platform/core/wide_text_win32.h"
#include "platform/win32ui/windows_api.h"
#include "own_desktop.h"

namespace {

using platform::win32::Narrow;
using platform::win32::Wide;
using namespace resources;

// The build's path of the program, as Wine shows the Unix file system.
std::wstring ProgramPath() {
  std::string path = std::getenv("REFLASH_BIN") ? std::getenv("REFLASH_BIN") : "";
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return Wide(path);
}

std::wstring MakeFolder() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"reflash-win32ui-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount64());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

// Asked of the window itself, so that it answers for its contents (a list's
// selected entry) across processes too.
std::string WindowText(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR got = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &got);
  return Narrow(text);
}

struct Found {
  DWORD pid;
  std::string caption;
  HWND window;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == found->pid && IsWindowVisible(window) && WindowText(window) == found->caption) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

// The visible top-level window of process `pid` with this caption, or null.
HWND WindowOf(DWORD pid, const std::string& caption) {
  Found found{pid, caption, nullptr};
  EnumWindows(Match, reinterpret_cast<LPARAM>(&found));
  return found.window;
}

bool WaitFor(const std::function<bool()>& done, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    Sleep(20);
  }
  return true;
}

bool Shown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

void PostClick(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// One run of the program in a folder of its own; killed if a test leaves
// it running.
class Program {
 public:
  explicit Program(const std::wstring& arguments) : folder_(MakeFolder()) {
    const std::wstring exe = ProgramPath();
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW start{};
    start.cb = sizeof start;
    std::wstring desktop = win32_test::DesktopName();
    if (!desktop.empty()) start.lpDesktop = desktop.data();
    started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &start,
                              &process_) != FALSE;
  }
  ~Program() {
    if (started_ && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    if (started_) {
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
  }
  bool Started() const { return started_; }
  DWORD Pid() const { return process_.dwProcessId; }
  // The exit status, or -1 when it is still running after `ms`.
  long ExitStatus(DWORD ms) {
    if (WaitForSingleObject(process_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(process_.hProcess, &status);
    return static_cast<long>(status);
  }
  std::string File(const std::string& name) const {
    std::ifstream in(Narrow(folder_) + "\\" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::wstring Folder() const { return folder_; }

 private:
  std::wstring folder_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(RealProgram, OpensTheWindowUpdatesTheSimulatedUnitAndExitsZero) {
  Program program(L"--simulate");
  ASSERT_TRUE(program.Started()) << Narrow(ProgramPath());
  HWND main = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (main = WindowOf(program.Pid(), kMainCaption)) != nullptr; }, 60000))
      << "the window did not open";
  // Shown after its initialisation: the unit is listed and described.
  EXPECT_EQ(SendMessageW(GetDlgItem(main, IDC_MODEL), CB_GETCOUNT, 0, 0), 1);
  EXPECT_EQ(WindowText(GetDlgItem(main, IDC_MODEL)).rfind("Orvella(n) connected via ", 0), 0u);
  EXPECT_EQ(WindowText(GetDlgItem(main, IDC_FW_VERSION)), "1.2");
  EXPECT_EQ(WindowText(GetDlgItem(main, IDC_NEW_FW_VERSION)), "1.10");
  EXPECT_TRUE(Shown(main, IDC_UPDATE));
  EXPECT_FALSE(Shown(main, IDC_PROGRESS));

  PostClick(main, IDC_UPDATE);
  HWND question = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (question = WindowOf(program.Pid(), "Firmware Update Confirmation")) != nullptr; },
                      30000))
      << "no confirmation";
  EXPECT_EQ(GetWindow(question, GW_OWNER), main) << "the question belongs to the window";
  PostClick(question, IDOK);
  ASSERT_TRUE(WaitFor([&] { return Shown(main, IDC_CONGRATULATIONS); }, 60000)) << "the update did not finish";
  EXPECT_TRUE(Shown(main, IDOK_CLOSE));
  EXPECT_FALSE(Shown(main, IDC_UPDATE)) << "nothing starts the update again";
  PostClick(main, IDOK_CLOSE);
  EXPECT_EQ(program.ExitStatus(30000), 0);
  const std::string log = program.File("OrvellaReflash.log");
  EXPECT_NE(log.find("Exiting"), std::string::npos) << log;
}

// REFLASH_SCREENSHOT: the program pictures its own window, frame and all,
// and closes it.
TEST(RealProgram, TakesAPictureOfItsWindow) {
  const std::wstring folder = MakeFolder();
  const std::wstring file = folder + L"\\ready.bmp";
  SetEnvironmentVariableW(L"REFLASH_SCREENSHOT", (file + L",delay=100").c_str());
  Program program(L"--simulate");
  SetEnvironmentVariableW(L"REFLASH_SCREENSHOT", nullptr);
  ASSERT_TRUE(program.Started());
  EXPECT_EQ(program.ExitStatus(60000), 0) << "closed by its Cancel button once the picture was taken";
  std::ifstream in(Narrow(file), std::ios::binary);
  const std::string bmp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  auto at = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bmp[i])); };
  const uint32_t width = at(18) | at(19) << 8, height = at(22) | at(23) << 8;
  // 330 x 166 dialog units of 8-point Tahoma are well over 400 x 250 pixels.
  EXPECT_GT(width, 400u);
  EXPECT_GT(height, 250u);
  EXPECT_EQ(bmp.size(), 54 + ((width * 3 + 3) & ~3u) * height);
  std::set<uint32_t> colours;
  for (size_t i = 54; i + 2 < bmp.size() && colours.size() < 64; i += 3) colours.insert(at(i) | at(i + 1) << 8 | at(i + 2) << 16);
  EXPECT_GE(colours.size(), 64u) << "the window, not an empty screen";
}

}  // namespace
