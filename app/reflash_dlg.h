#pragma once
// The main window's logic (dialog 102): option parsing, unit search and
// details, the update and serial-number workflows, and the display states.
// Written once against the UI host seam; every host runs it unchanged.
//
// The code is split by concern:
//   reflash_dlg.cpp          construction, OnInitDialog, events, decoration,
//                            SetDialogState, colours, about entry (OnTimer is
//                            the update run's, in reflash_dlg_update.cpp)
//   reflash_dlg_units.cpp    unit search, UpdateSelectedConnection, details
//   entry_details.cpp        what the selected entry stands for, by kind
//   dialog_states.cpp        which controls each display state shows
//   reflash_dlg_update.cpp   OnStartUpdate, ProgramEEPROM, WaitForCompletion
//   reflash_dlg_zslot.cpp    ProgramZSlotEEPROM
//   reflash_dlg_serial.cpp   the SN= and GETSN write flows
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_states.h"
#include "app/entry_details.h"
#include "app/firmware_images.h"
#include "app/options.h"
#include "app/run_report.h"
#include "platform/ui/progress_times.h"
#include "platform/ui/ui_host.h"

class COrvellaRemote;

// What a console run reports as its exit status.
enum class RunOutcome {
  Nothing,          // the window closed without doing anything asked of it
  UpdateSucceeded,  // an update reached its end
  UpdateFailed,
  UpdateCancelled,
  SentNotConfirmed,  // the last command went out, the device never confirmed it
  SerialWritten,    // SN= or GETSN wrote a number
  SerialFailed,
  NoUnit,           // no unit found, or start-up ended the run
  UsageError,       // a scripted run's command line named no usable entry or token
  Aborted,          // a signal ended the run
};

// The window is driven only through its face: the host's events in, the
// host's window calls out, and the outcome at the end. Everything it knows
// about the run is its own.
class CReflashDlg : public platform::ui::DialogEvents {
 public:
  // `commandLine` is the text after the program name.
  explicit CReflashDlg(std::string commandLine, RunSettings run = {});
  ~CReflashDlg() override;
  CReflashDlg(const CReflashDlg&) = delete;
  CReflashDlg& operator=(const CReflashDlg&) = delete;

  // Builds the window through the host in force and runs it modally.
  int DoModal();

  RunOutcome Outcome() const { return m_outcome; }

  // The window holds a loaded image only while an update runs; nothing on
  // screen says so, so tests ask here.
  bool HoldsLoadedImage() const { return m_Images.m_pImage != nullptr; }

  // ---- DialogEvents
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  // Esc or the close box: Cancel, except while a run must not be left,
  // when a note says why and about how long is left.
  void OnClose() override;
  void OnSelChange(int id) override;
  void OnTimer(int timerId) override;
  void OnDropFiles(const std::vector<std::string>& paths) override;
  void OnSysCommand(int commandId) override;
  platform::ui::ControlColors OnCtlColor(int id) override;

  // "hh:mm:ss.mmm", as the log gives how long a download took.
  static std::string FormatElapsed(uint32_t ms);

 private:
  class BusyScope;
  class BarProgress;

  // ---- display (states and decoration)
  void SetDialogState(int state);
  void Decorate();
  // The progress bar, through which the window also learns how long the
  // current step has run and has left.
  void SetProgressRange(int low, int high);
  void SetProgressPos(int pos);
  // The done state is shown: the entry on show is the one just updated.
  bool IsDone() const { return m_nDoneEntry >= 0 && m_nShownEntry == m_nDoneEntry; }

  // ---- unit discovery and selection
  static constexpr int kMaxEntries = 16;
  bool SearchUnits();  // unit search steps 1..6 of OnInitDialog
  bool UpdateSelectedConnection(uint16_t entry);
  void OnSelChangeModel();
  // Adds one list entry (text, word) unless the table is full, when it
  // counts the entry as unlisted.
  bool AddEntry(const std::string& text, uint32_t word);
  // Says how many devices the full list left out: log, notice field.
  void ReportUnlisted();
  std::string UnlistedText() const;  // empty when every device was listed
  // Ends the run after a failure of the unit display (no unit, no image).
  void EndRunWithoutUnit();
  // The selected item shows the entry's text as rebuilt from the device.
  void RebuildSelectedItem(uint16_t entry);
  void ShowDetailRows(bool serialRows, bool promRow);
  // The serial number and manufacture date fields; returns
  // the number shown (0 when none counts for this device).
  uint32_t ShowSerialNumber(uint32_t serial);
  // Chooses the image Update would program and shows its version and
  // date; false after ending the run when there is none.
  bool ChooseNewImage();
  // Notice 3: how many devices the list left out, and the file the new
  // firmware comes from (FILE= or a drop), each when there is one.
  void ShowImageSource();
  // The version and date fields of the chosen image.
  void ShowNewImage();
  void SetValue(int id, const std::string& text);

  // ---- main-unit programming
  // Programming status flags of register 9 (masked with 0x3F); TIMEOUT is
  // the window's own, set when one of its waits runs out.
  static constexpr uint8_t PIP = 0x01;
  static constexpr uint8_t PGMERR = 0x02;
  static constexpr uint8_t TXERR = 0x04;
  static constexpr uint8_t PAKRDY = 0x08;
  static constexpr uint8_t TIMEOUT = 0x20;
  // Also the window's own: a signal ended the wait (never shown as a flag).
  static constexpr uint8_t ABORTED = 0x80;
  // How long the unit may report no change of state or percent while it
  // programs itself before the run is given up.
  static constexpr uint32_t kProgressSilenceMs = 120000;
  // The card run's erase bar counts tenths of a second up to its range's end.
  static constexpr int kEraseBarTenths = 40;

  void OnStartUpdate();
  bool ProgramEEPROM();
  uint8_t WaitForCompletion(uint32_t limitMs);
  static void AppendStatusFlags(std::string& text, uint8_t flags);
  // The status wait behind WaitForCompletion and the card run: ends on any
  // of `endFlags`, on 0 when `endOnZero`, or with TIMEOUT after `limitMs`;
  // `eraseProgress` moves the progress bar to the elapsed tenths of a second.
  uint8_t WaitForStatus(uint32_t limitMs, uint8_t endFlags, bool endOnZero, bool eraseProgress);
  bool RunProgramming();        // the run the image's product id calls for
  bool WatchUnitProgramming();  // ProgramEEPROM's progress phase
  // A message box of the running workflows, owned by the window.
  void ShowRunMessage(const std::string& text, const char* caption, platform::ui::Icon icon);

  // ---- option card programming
  bool ProgramZSlotEEPROM();
  // Sends the end of programming and reads the card's status back until it
  // shows the transfer ended; sets m_bSentNotConfirmed when it never does.
  bool CompleteCardProgramming();
  // Says on screen and in the log that the card holds a partial image,
  // after sending the cancel when `cancel`.
  void LeaveCardPartial(bool cancel);
  // A signal ended the card run during `step`: logs it as aborted, cancels.
  bool AbandonCardRun(const char* step);
  // Logs a wait ended by a signal as aborted during `step`; false.
  static bool LogAbortedWait(const char* step);

  // ---- serial numbers
  // The "SN=" option handler: false when the value is invalid (the run ends).
  bool HandleSerialOption(const std::string& text);
  // Writes m_dwCommandLineSerial ("SN="); the window closes either way.
  bool WriteCommandLineSerial();
  // The "GETSN" flow: asks, writes; replaces `serial` on success. False
  // means the window was closed.
  bool WriteDialogSerial(uint32_t& serial);
  // Writes `serial` to the unit or (card mode) its card and waits up to
  // `commitLimitMs` for the commit; on a failed commit shows `failureText`
  // with the status flags. False on any failure.
  bool WriteSerial(uint32_t serial, uint32_t commitLimitMs, const char* failureText);

  // Ends the modal run (result 0 unless given).
  void CloseWindow(int result = 0);

  // After a signal: the run ends through its normal failure path.
  void EndAbortedRun();

  // ---- safety rules
  // While busy (an update run, a serial-number write, showing an entry)
  // nothing may change which device the run talks to or what it sends:
  // selections, drops, the about box and a second Update are refused and
  // logged. Every host gets the rule from here.
  bool IsBusy() const { return m_nBusy > 0; }
  // The loaded image is for the selected device, is what the run would
  // write to it and passes its own checks; otherwise says why and returns
  // false.
  bool ImageFitsTarget();
  // The done state's text for the device just updated.
  std::string CongratulationsText() const;
  // After a failed unit run: sends the cancel command, first reconnecting
  // (bounded) when the link was lost; logs whether it went out.
  void CancelAfterFailure();
  static constexpr uint32_t kCancelReconnectMs = 3000;
  // Built-in images may be offered: they are the maker's, or the link is a
  // simulated one (the stand-ins never reach a real unit).
  bool BuiltInImagesUsable() const;

  // ---- members (names as the rest of the system knows them)
  std::string m_commandLine;
  RunSettings m_run;
  std::unique_ptr<platform::ui::DialogWindow> m_window;
  std::unique_ptr<COrvellaRemote> m_pRemote;

  // Options, reset at the start of OnInitDialog.
  Options m_options;

  // The unit list, and what the selected entry stands for.
  uint32_t m_EntryTable[kMaxEntries] = {};
  int m_nEntryCount = 0;
  int m_nUnlisted = 0;  // entries the full table had no room for
  CEntryDetails m_entry;

  // The image Update would program, and the loaded image.
  CFirmwareImages m_Images;

  RunOutcome m_outcome = RunOutcome::Nothing;
  // The last run sent its final command but the device never confirmed it.
  bool m_bSentNotConfirmed = false;

  int m_nBusy = 0;
  // The entry shown and its list item; the entry an update succeeded for
  // (-1 none): the done state belongs to it alone.
  int m_nShownEntry = -1;
  int m_nShownItem = -1;
  int m_nDoneEntry = -1;
  // No usable built-in image for the shown entry on this link.
  bool m_bNoBuiltInImage = false;
  // What the run that keeps the window open is doing, for the user who
  // tries to close it, and its progress-bar phase.
  std::string m_szBusyWhat;
  platform::ui::ProgressPhase m_progress;
};

// Holds the window busy for its scope: the first scope stops the host
// offering target changes, the last one offers them again.
class CReflashDlg::BusyScope {
 public:
  explicit BusyScope(CReflashDlg& dlg) : dlg_(dlg) {
    if (dlg_.m_nBusy++ == 0 && dlg_.m_window) dlg_.m_window->OfferTargetChanges(false);
  }
  ~BusyScope() {
    if (--dlg_.m_nBusy == 0 && dlg_.m_window) dlg_.m_window->OfferTargetChanges(true);
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  CReflashDlg& dlg_;
};
