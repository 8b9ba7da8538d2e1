#pragma once
// The main window's logic (dialog 102): option parsing, unit search and
// details, the update and serial-number workflows, and the display states.
// Written once against the UI host seam; every host runs it unchanged.
//
// The code is split by concern:
//   reflash_dlg.cpp          construction, OnInitDialog, events, decoration,
//                            SetDialogState, colours, about entry
//   reflash_dlg_units.cpp    unit search, UpdateSelectedConnection, details
//   reflash_dlg_update.cpp   OnStartUpdate, ProgramEEPROM, WaitForCompletion
//   reflash_dlg_zslot.cpp    ProgramZSlotEEPROM
//   reflash_dlg_serial.cpp   the SN= and GETSN write flows
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "app/firmware_images.h"
#include "app/options.h"
#include "platform/ui/ui_host.h"

class COrvellaRemote;

// Display states.
enum DialogState { kStateReady = 0, kStateBusy = 1, kStateDone = 2 };

// What a console run reports as its exit status.
enum class RunOutcome {
  Nothing,          // the window closed without doing anything asked of it
  UpdateSucceeded,  // an update reached its end
  UpdateFailed,
  UpdateCancelled,
  SerialWritten,    // SN= or GETSN wrote a number
  SerialFailed,
  NoUnit,           // no unit found, or start-up ended the run
};

class CReflashDlg : public platform::ui::DialogEvents {
 public:
  // `commandLine` is the text after the program name.
  explicit CReflashDlg(std::string commandLine);
  ~CReflashDlg() override;

  // Builds the window through the host in force and runs it modally.
  int DoModal();

  RunOutcome Outcome() const { return m_outcome; }

  // ---- DialogEvents
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnSelChange(int id) override;
  void OnTimer(int timerId) override;
  void OnDropFiles(const std::vector<std::string>& paths) override;
  void OnSysCommand(int commandId) override;
  platform::ui::ControlColors OnCtlColor(int id) override;

  // ---- display (states and decoration)
  void SetDialogState(int state);
  void Decorate();

  // ---- unit discovery and selection
  bool SearchUnits();  // unit search steps 1..6 of OnInitDialog
  bool UpdateSelectedConnection(uint16_t entry);
  void OnSelChangeModel();
  static std::string ManufactureDate(uint32_t serial);

  // ---- main-unit programming
  void OnStartUpdate();
  bool ProgramEEPROM();
  uint8_t WaitForCompletion(uint32_t limitMs);
  static void AppendStatusFlags(std::string& text, uint8_t flags);

  // ---- option card programming
  bool ProgramZSlotEEPROM();

  // ---- serial numbers
  // The "SN=" option handler: false when the value is invalid (the run ends).
  bool HandleSerialOption(const std::string& text);
  // Writes m_dwCommandLineSerial ("SN="); the window closes either way.
  bool WriteCommandLineSerial();
  // The "GETSN" flow: asks, writes; replaces `serial` on success. False
  // means the window was closed.
  bool WriteDialogSerial(uint32_t& serial);

  // Ends the modal run (result 0 unless given).
  void CloseWindow(int result = 0);

  // ---- members (names as the rest of the system knows them)
  std::string m_commandLine;
  std::unique_ptr<platform::ui::DialogWindow> m_window;
  std::unique_ptr<COrvellaRemote> m_pRemote;

  // Options, reset at the start of OnInitDialog.
  Options m_options;

  // The unit list.
  uint32_t m_EntryTable[16] = {};
  uint16_t m_nConnection = 0;
  bool m_bModuleMode = false;
  uint8_t m_nDeviceId = 0;
  std::string m_szDeviceName;

  // The image Update would program, and the loaded image.
  CFirmwareImages m_Images;

  RunOutcome m_outcome = RunOutcome::Nothing;
  bool m_timerRunning = false;
};
