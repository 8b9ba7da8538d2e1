// The main window: construction, the modal run, OnInitDialog (options,
// decoration, unit search), the window's events, the display states and
// colours, and the about entry.
#include "app/reflash_dlg.h"

#include <algorithm>

#include "app/about_dlg.h"
#include "app/log.h"
#include "app/reflash_app.h"
#include "app/resources/dialog_templates.h"
#include "platform/core/clock.h"
#include "platform/core/outside_text.h"
#include "platform/session/abort_signals.h"
#include "protocol/orvella_remote.h"

using platform::ui::ControlColors;
using platform::ui::FontKind;

namespace {

using namespace resources;

bool IsNotice(int id) { return id >= IDC_NOTICE1 && id <= IDC_CONGRATULATIONS; }

// Controls through which the background picture shows.
bool IsTransparent(int id) {
  return IsNotice(id) || (id >= IDC_SERIAL && id <= IDC_NEW_FW_DATE) || id == IDC_PROM || id == IDC_MFG_DATE ||
         id == IDC_PROM_LABEL || id == platform::ui::kNoId;
}

}  // namespace

CReflashDlg::CReflashDlg(std::string commandLine, RunSettings run)
    : m_commandLine(std::move(commandLine)), m_run(std::move(run)) {}

// Out of line: the remote's type is complete only here.
CReflashDlg::~CReflashDlg() = default;

int CReflashDlg::DoModal() {
  m_window = platform::Use<platform::ui::Host>().CreateDialog(MainDialogTemplate(), *this, nullptr);
  if (!m_window) return 0;
  return m_window->RunModal();
}

void CReflashDlg::CloseWindow(int result) {
  if (m_window) m_window->EndDialog(result);
}

void CReflashDlg::EndAbortedRun() {
  // What was written before the signal stays written and is reported so.
  if (m_outcome != RunOutcome::UpdateSucceeded && m_outcome != RunOutcome::SerialWritten) {
    m_outcome = RunOutcome::Aborted;
  }
  CloseWindow(0);
}

bool CReflashDlg::OnInitDialog() {
  m_options = Options{};
  std::fill(std::begin(m_EntryTable), std::end(m_EntryTable), 0u);
  m_nEntryCount = 0;
  m_nUnlisted = 0;

  LogOsVersionRecord();

  OptionHooks hooks;
  int serialTokens = 0;
  hooks.serial = [this, &serialTokens](const std::string& value) {
    // Which of two numbers was meant is not ours to guess.
    if (++serialTokens > 1) {
      const char* text = "SN= is given more than once: nothing is written";
      LogMessage("%s\n", text);
      if (m_run.report) m_run.report->Notice(text);
      m_outcome = RunOutcome::UsageError;
      return false;
    }
    return HandleSerialOption(value);
  };
  bool fileRefused = false;
  hooks.file = [this, &fileRefused](const std::string& path) {
    m_Images.SelectNewFirmware(path.c_str(), m_window.get());
    // A file that could not be opened leaves the image shown before.
    if (!m_Images.m_bExternalFile || path != m_Images.m_szImageName) fileRefused = true;
  };
  hooks.unknown = [this](const std::string& token) {
    // A mistyped SN= must not start a firmware update instead: a scripted
    // run stops, and says so.
    const std::string shown = EscapeOutsideText(token);
    const std::string text = m_run.strict ? "Unknown token " + shown + ": the run stops, nothing is written"
                                          : "Ignoring unknown token " + shown;
    LogMessage("%s\n", text.c_str());
    if (m_run.report) m_run.report->Notice(text);
    if (!m_run.strict) return true;
    m_outcome = RunOutcome::UsageError;
    return false;
  };
  if (!ParseOptions(m_commandLine, m_options, hooks)) {
    // The serial-number option has shown its message; the run ends before
    // any unit is searched.
    if (m_outcome == RunOutcome::Nothing) m_outcome = RunOutcome::SerialFailed;
    CloseWindow(0);
    return false;
  }

  if (fileRefused && m_run.strict) {
    // The window falls back to the built-in image; a script asked for this
    // file and gets nothing rather than something else.
    LogMessage("FILE= cannot be used: nothing is programmed\n");
    if (m_run.report) m_run.report->Notice("The file given with FILE= cannot be used: nothing is programmed");
    m_outcome = RunOutcome::UpdateFailed;
    CloseWindow(0);
    return false;
  }

  Decorate();
  // The 1 ms timer resolution raised after the search has no counterpart
  // here: the platform clock already counts whole milliseconds.
  return SearchUnits();
}

void CReflashDlg::Decorate() {
  m_window->SetBackgroundPicture();
  const std::string about = resources::LoadString(kAboutMenuString);
  if (!about.empty()) m_window->AddSystemMenuItem(kAboutCommand, about);
}

void CReflashDlg::SetDialogState(int state) {
  if (m_window) ShowDialogState(*m_window, state);
}

void CReflashDlg::SetProgressRange(int low, int high) {
  m_progress.Begin(platform::TickCount(), low, high);
  if (m_window) m_window->ProgressRange(IDC_PROGRESS, low, high);
}

void CReflashDlg::SetProgressPos(int pos) {
  m_progress.Move(pos);
  if (m_window) m_window->ProgressPos(IDC_PROGRESS, pos);
}

void CReflashDlg::ShowImageSource() {
  std::string text = UnlistedText();
  if (m_Images.m_bExternalFile && m_Images.m_szImageName[0] != '\0') {
    if (!text.empty()) text += "\n";
    std::string name = m_Images.m_szImageName;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    text += "New firmware from the file " + EscapeOutsideText(name);
  }
  m_window->SetText(IDC_NOTICE3, text);
}

void CReflashDlg::OnCommand(int id) {
  switch (id) {
    case IDC_UPDATE:
      if (IsBusy()) {
        LogMessage("OnStartUpdate: Busy, ignored\n");
        break;
      }
      if (IsDone()) {
        // The unit waits to be powered off; programming it again now, or a
        // cancelled confirmation turning the run's success into failure,
        // is never what a stray key meant.
        LogMessage("OnStartUpdate: Update done, ignored\n");
        break;
      }
      OnStartUpdate();
      break;
    case IDOK_CLOSE:
    case IDCANCEL_BUTTON:
      CloseWindow(id);
      break;
    default:
      break;
  }
}

void CReflashDlg::OnClose() {
  if (!m_window) return;
  if (m_window->IsVisible(IDCANCEL_BUTTON) || m_window->IsVisible(IDOK_CLOSE)) {
    OnCommand(IDCANCEL_BUTTON);
    return;
  }
  // Neither button is offered: closing now would cut the device off in the
  // middle of a write. The note does not wait for an answer, as a modal
  // box would hold the transfer until it was closed. After a signal the
  // run ends through its own failure path and nobody is there to read it.
  if (platform::AbortRequested()) return;
  const std::string what = m_szBusyWhat.empty() ? std::string("The device is being written to.") : m_szBusyWhat;
  LogMessage("OnClose: %s Close refused\n", what.c_str());
  std::string text = what +
                     " The window cannot be closed until this has ended: interrupting it could leave the device "
                     "unable to work.";
  const std::string times = m_progress.Times(platform::TickCount());
  if (!times.empty()) text += "\n\n" + m_window->GetText(IDC_STATUS) + "  " + times + ".";
  platform::ui::MessageBoxRequest note;
  note.text = text;
  note.caption = kMainCaption;
  note.icon = platform::ui::Icon::Information;
  m_window->ShowNote(note);
}

void CReflashDlg::OnSelChange(int id) {
  if (id == IDC_MODEL) OnSelChangeModel();
}

void CReflashDlg::OnDropFiles(const std::vector<std::string>& paths) {
  if (IsBusy()) {
    // A drop during a run would change the image of the next run at best
    // and the one being sent at worst.
    LogMessage("OnDropFiles: Busy, %.1000s ignored\n", paths.empty() ? "" : EscapeOutsideText(paths.front()).c_str());
    return;
  }
  m_Images.OnDropFiles(paths, m_window.get());
  ShowImageSource();
}

void CReflashDlg::OnSysCommand(int commandId) {
  if ((commandId & ~0xF) == kAboutCommand) {
    if (IsBusy()) {
      // The about box is modal: opened inside a wait it would hold the
      // transfer until closed.
      LogMessage("OnSysCommand: Busy, about box not shown\n");
      return;
    }
    CAboutDlg about;
    about.DoModal(m_window.get());
  }
}

ControlColors CReflashDlg::OnCtlColor(int id) {
  ControlColors colors;
  colors.blueText = IsNotice(id);
  colors.transparent = IsTransparent(id);
  return colors;
}
