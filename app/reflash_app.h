#pragma once
// The application object: start-up checks, the main window's modal run and
// the end of the run.
#include <functional>
#include <memory>
#include <string>

// The main window as the application object drives it. main() wraps
// CReflashDlg in one; tests pass a fake.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // Runs the window modally until it closes; returns its result, which the
  // application ignores.
  virtual int DoModal() = 0;
};

// Creates the main window when the start-up checks have passed; called at
// most once per InitInstance. The window is destroyed after the "Exiting"
// record, so records its teardown writes follow that line.
using MainWindowFactory = std::function<std::unique_ptr<MainWindow>()>;

class CReflashApp {
 public:
  // The start-up sequence: build banner, OS and power checks, the main
  // window, "Exiting". Always returns false: the application ends when it
  // returns. WindowRan() tells whether the checks let the window run.
  bool InitInstance(const MainWindowFactory& createWindow);

  bool WindowRan() const { return m_bWindowRan; }

 private:
  bool m_bWindowRan = false;
};

// The build's date and time in the form "Mmm dd yyyy hh:mm:ss".
std::string BuildStamp();

// "reflash 1.0.0 (built Mmm dd yyyy hh:mm:ss)": what --version prints and
// the about box shows.
std::string ProgramVersion();

// Logs the OS version record "VER_PLATFORM_WIN32_NT %lu.%lu Build %lu %s\n"
// (the window writes it before parsing its options). Writes nothing when
// the version cannot be read.
void LogOsVersionRecord();
