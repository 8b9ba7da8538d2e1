#pragma once
// The protocol engine: owns the one transport, keeps a copy of the selected
// unit's registers and offers identity, programming, serial-number and mixer
// operations. Driven by polling on the one UI thread; every wait loop polls,
// sleeps 5 ms (not for the Vinto) and dispatches at most one window message
// per pass, so dialog handlers may run nested inside an operation.
//
// Files: orvella_remote.cpp (construction, transport choice, raw
// registers), remote_send.cpp (message builders), remote_receive.cpp (frame
// cutting and decoding), remote_wait.cpp (response waits), remote_poll.cpp
// (Poll, poll modes, loss and reconnection), remote_identity.cpp
// (selection and identity getters), remote_firmware.cpp, remote_serial.cpp,
// remote_mixer*.cpp, remote_card_updater.cpp (the VE-ZER card updater).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/orvella_interface.h"
#include "protocol/orvella_mixer_interface.h"
#include "protocol/product_ids.h"
#include "protocol/receive_queue.h"

class CCardUpdater;  // VE-ZER card updater, protocol/card_updater.h

// Interface mask bits of SetInterfaceMask.
enum : uint32_t {
  kMaskDriver = 0x04,
  kMaskMidi = 0x08,
  kMaskNetwork = 0x20,
};

// Poll modes (SetPollMode).
enum : uint8_t {
  kPollIdle = 0,
  kPollIdentity = 1,
  kPollSlowCard = 2,
  kPollTransfer = 3,
  kPollVerify = 4,
  kPollProgress = 5,
};

// Programming status bits of register 9.
enum : uint8_t {
  PIP = 0x01,
  PGMERR = 0x02,
  TXERR = 0x04,
  PAKRDY = 0x08,
  ACTIVE_BANK = 0x80,
};

enum : uint16_t {
  REG_ASTAT_PID = 1,
  REMO_ZT_SN_SERNUMHI = 24,
};

constexpr int MAX_SN_RETIRES = 64;

class COrvellaRemote : public COrvellaMixerInterface {
 public:
  static constexpr size_t kImageSize = 2048;
  static constexpr size_t kVerifySize = 128;
  static constexpr uint32_t kPacketSize = 128;  // image bytes in one firmware packet
  static constexpr size_t kFrameBuffer = 4096;
  static constexpr size_t kReadChunk = 4095;
  static constexpr uint32_t kLossMs = 1000;
  static constexpr uint32_t kResponseTimeoutMs = 500;

  COrvellaRemote();
  ~COrvellaRemote() override;
  COrvellaRemote(const COrvellaRemote&) = delete;
  COrvellaRemote& operator=(const COrvellaRemote&) = delete;

  int SetMIDIPortFilter(const char* text) override;
  int SetInterfaceMask(uint32_t mask) override;
  int SetSecondaryName(const char* text) override;
  int Open() override;
  int Close() override;
  int Poll() override;
  int IsConnectionLost(uint8_t* out) override;
  int GetFirmwareMinor(uint8_t* out) override;
  int StartPolling() override;
  int SetPollMode(uint8_t mode) override;
  int GetProgrammingStatus(uint8_t* status) override;
  int GetProgrammingProgress(uint8_t* state, uint8_t* progress, uint8_t* aux) override;
  int SelectAlternateBank() override;
  int SelectBank(uint8_t bank) override;
  int StartErase() override;
  int WaitForResponse(uint16_t count) override;
  int WriteFirmwarePacket(const uint8_t* data, int length) override;
  int RequestVerifyPacket() override;
  int ReadVerifyPacket(uint8_t* out, int length) override;
  int SetProgrammingComplete() override;
  int CancelProgramming() override;
  int WriteSerialNumber(uint32_t serial) override;
  int WriteZSlotSerialNumber(uint32_t serial) override;
  int SelectZSlotFirmware(bool on) override;
  int SetFirmwareSize(uint32_t bytes) override;
  int GetNumberOfConnections(uint16_t* count) override;
  int SelectConnection(uint16_t index) override;
  int GetSelectedConnection(uint16_t* index) override;
  int GetInterfaceType(uint16_t* type) override;
  int GetConnectionDescription(uint16_t index, char* text, int size, uint8_t* productId) override;
  int GetSerialNumber(uint32_t* serial) override;
  int GetProductID(uint8_t* id) override;
  bool IsVinto() override;
  int GetPCBRevision(uint8_t* out) override;
  int GetFirmwareMajor(uint8_t* out) override;
  int SetReg2Selection(uint16_t which, uint8_t value) override;
  int GetReg2Selection(uint16_t which, uint8_t* value) override;
  int SetReg3Source(uint8_t choice) override;
  int GetReg3Source(uint8_t* choice) override;
  int SetReg3Flag(bool on) override;
  int GetReg3Flag(uint8_t* out) override;
  int SetSampleRate(uint8_t index) override;
  int GetSampleRate(uint8_t* index) override;
  int GetReg3Bit7(uint8_t* out) override;
  int SetReg4Bits01(uint8_t choice) override;
  int GetReg4Bits01(uint8_t* choice) override;
  int SetReg4Bits23(uint8_t choice) override;
  int GetReg4Bits23(uint8_t* choice) override;
  int SetReg4Bit4(bool on) override;
  int GetReg4Bit4(uint8_t* out) override;
  int SetReg4Bit5(bool on) override;
  int GetReg4Bit5(uint8_t* out) override;
  int SetReg4Bit6(bool on) override;
  int GetReg4Bit6(uint8_t* out) override;
  int SetReg4Bit7(bool on) override;
  int GetReg4Bit7(uint8_t* out) override;
  int GetReg5Bit0(uint8_t* out) override;
  int GetReg5Bit1(uint8_t* out) override;
  int SetReg5Bit2(bool on) override;
  int GetReg5Bit2(uint8_t* out) override;
  int SetReg5Bit3(bool on) override;
  int GetReg5Bit3(uint8_t* out) override;
  int GetReg5Bit5(uint8_t* out) override;
  int GetReg6(uint8_t* out) override;
  int GetReg7Low(uint8_t* out) override;
  int Is1824Variant(uint8_t* out) override;
  int IsVTVariant(uint8_t* out) override;
  int GetCardID(uint8_t* id) override;
  int GetZSlotSerialNumber(uint32_t* serial) override;
  int GetCardFirmwareVersion(uint8_t* major, uint8_t* minor) override;
  int GetCardPCBRevision(uint8_t* out) override;
  int SetReg19Bit4(bool on) override;
  int GetReg19Bit4(uint8_t* out) override;
  int SetReg19Bit5(bool on) override;
  int GetReg19Bit5(uint8_t* out) override;
  int GetChannelCacheA(uint8_t channel, uint8_t* out) override;
  int GetChannelCacheB(uint8_t channel, uint8_t* out) override;
  int Reserved78() override;
  int SetLevel(uint8_t type, uint8_t channel, uint8_t value) override;
  int GetLevel(uint8_t type, uint8_t channel, uint8_t* out) override;
  int SetMute(uint8_t type, uint8_t channel, bool muted) override;
  int GetMute(uint8_t type, uint8_t channel, uint8_t* out) override;
  int SetTrim(uint8_t type, uint8_t channel, uint8_t value) override;
  int GetTrim(uint8_t type, uint8_t channel, uint8_t* out) override;
  bool IsHighRegisterRange() override;
  int GetReg24Limited(uint8_t* out) override;
  int GetReg20Plus1(uint8_t* out) override;
  int GetReg21Plus1(uint8_t* out) override;
  int GetReg22Plus1(uint16_t* out) override;
  int GetFirmwareDate(uint16_t* date) override;
  int SetReg27(uint8_t value) override;
  int ReloadAllRegisters() override;
  int GetFirmwareDateCompat(uint16_t* date) override;
  int GetReg125Bit7(uint8_t* out) override;
  bool GetReg125Bit2() override;
  bool GetReg124Bit7() override;
  bool GetReg42Bit3() override;
  int GetStreamRate(uint8_t which, uint32_t* hertz) override;
  int GetMeter(bool first, uint16_t index, int* level, uint8_t* clip) override;
  int SetMatrixGain(uint8_t in, uint8_t out, int16_t gain) override;
  int GetMatrixGain(uint8_t in, uint8_t out, int16_t* gain) override;
  int SetOutputGain(uint8_t channel, int16_t gain) override;
  int GetOutputGain(uint8_t channel, int16_t* gain) override;
  int SetRouteBitA(uint8_t a, uint8_t bit, bool on) override;
  int GetRouteBitA(uint8_t a, uint8_t bit, uint8_t* out) override;
  int SetRouteBitB(uint8_t bit, bool on) override;
  int GetRouteBitB(uint8_t bit, uint8_t* out) override;
  int SetRouteBitC(uint8_t a, uint8_t bit, bool on) override;
  int GetRouteBitC(uint8_t a, uint8_t bit, uint8_t* out) override;
  int ReadRegister(uint16_t reg, uint8_t* value) override;
  int WriteRegister(uint16_t reg, uint8_t value) override;
  int SetRegisterNotification(uint16_t regA, uint16_t regB, RegisterNotifyCallback callback, void* context,
                              uint32_t parameter) override;

  // ------------------------------------------------ messages (not virtual)
  // Each builds one frame and passes it to the transport's Write in one
  // call: 1 without a transport, else the Write result.
  int SendShortMessage(uint8_t code, uint8_t reg, uint8_t value, bool bit8);
  int SendLongRead(uint16_t first, uint16_t span);
  int SendLongWrite(uint16_t reg, uint8_t value);
  int SendCommand(uint8_t k);
  // Starts an operation the unit acknowledges once, on register 9 (an
  // erase, a firmware packet, a serial commit): transfer polling, register 9
  // busy until the answer, then the prepare command and `k`.
  void SendAcknowledgedCommand(uint8_t k);
  // Register write in the form the model understands.
  int WriteRegisterValue(uint16_t reg, uint8_t value);
  // One read request for first..last; does not wait.
  int RequestRegisterStatus(uint16_t first, uint16_t last);
  // Requests first..last until a register-data message starting at `first`
  // arrived after the request went out (up to 6 tries): 0, else 1. Fails
  // at once when nested.
  int RequestRegisterStatusVerified(uint16_t first, uint16_t last);
  // Decodes one cut frame; register data goes to StoreRegisterData.
  // 1 when rejected; callers ignore the result.
  int ParseMessage(const uint8_t* frame, int length);
  // Stores decoded registers in the image (or the verify buffer).
  int StoreRegisterData(const uint8_t* data, uint16_t start, uint16_t count);

  // ---------------------------------------------- state for the callers
  uint8_t GetPollMode() const { return m_nPollMode; }
  // Register-data headers decoded so far.
  uint32_t GetResponseCount() const { return m_dwResponseCount; }
  // The VE-ZER card updater of the selected unit, or null.
  CCardUpdater* GetCardUpdater() const { return m_pZTUSB; }
  // How often the link was dropped so far: a caller that saw it change
  // while it waited knows the answer it got may not be the unit's.
  uint32_t GetLossCount() const { return m_dwLossCount; }
  // One answer per request: the requests the device answers exactly once
  // (a firmware packet, an erase, a verify request, a serial commit, a
  // status read) are counted, and so are the register-data messages that
  // begin at the register they are answered with (9, or 128 for a verify
  // packet), over a series of such requests: a repeat that comes late is
  // still one too many. A series ends when the register changes or
  // ForgetAnswers is called (at the start of a run).
  void ExpectOneAnswer(uint16_t reg) {
    if (reg != m_nAnswerRegister) ForgetAnswers();
    m_nAnswerRegister = reg;
    ++m_dwRequests;
  }
  void ForgetAnswers() {
    m_nAnswerRegister = 0xFFFF;
    m_dwAnswers = 0;
    m_dwRequests = 0;
  }
  // 0 before the latest request was answered, 1 once it was; more when it
  // or an earlier request of the series was answered again.
  uint32_t AnswersToRequest() const { return m_dwAnswers + 1 - std::min(m_dwRequests, m_dwAnswers + 1); }
  // After a lost link: reopens and selects the connection in use again, as
  // Poll would, for at most `limitMs`. 0 when the unit answered again.
  int Reconnect(uint32_t limitMs);

 private:
  bool DrainInput(int* readResult);
  bool CutFrames();
  int SendPeriodicRequest(bool frameParsed);
  int RollingRequest();
  void DropConnection();
  void UpdateChannelCaches(uint16_t reg, uint8_t value);
  uint8_t ProductId();
  uint8_t CardId();
  uint8_t FirmwareMajor();
  bool IsOrvellaN();
  void CreateCardUpdater(uint16_t index);
  void ReleaseCardUpdater();
  int CardSampleRate(uint8_t index);
  int CardGetSampleRate(uint8_t* index);
  int WriteImageBit(uint16_t reg, uint8_t mask, bool on, bool shortWrite);
  // Most getters store one value and report success.
  template <class T, class V>
  static int Report(T* out, V value) {
    *out = static_cast<T>(value);
    return 0;
  }
  // One bit of a routing block at `base`: four registers per row `a`.
  int SetRouteBit(uint16_t base, uint8_t a, uint8_t bit, bool on);
  int GetRouteBit(uint16_t base, uint8_t a, uint8_t bit, uint8_t* out);
  int CellBoundsForSet(uint8_t type, uint8_t channel);
  uint16_t CellLevelRegister(uint8_t type, uint8_t channel);
  uint32_t PackSerial(uint8_t id, uint16_t weekReg);
  void ShowSerialFailure(const std::string& text);
  // Writes `serial` to the four registers from `firstReg` (12 unit, 28
  // card), waits until the device reports it back and commits it; `routine`
  // names the caller in log lines and messages.
  int WriteAndCommitSerial(const char* routine, uint16_t firstReg, uint32_t serial);

  uint8_t m_aManufacturerID[3];
  bool m_bDisconnected = true;
  uint32_t m_dwInterfaceMask = kMaskDriver | kMaskMidi | kMaskNetwork;
  char m_szMIDIPortFilter[256] = {};
  char m_szSecondaryName[256] = {};
  uint32_t m_dwResponseCount = 0;
  uint8_t m_nPollMode = kPollIdle;
  ReceiveQueue m_ReceiveQueue;
  bool m_bInFrame = false;
  uint32_t m_dwLastRequestTime;
  uint32_t m_dwRollingStep = 0;
  uint8_t m_VerifyBuffer[kVerifySize] = {};
  uint16_t m_nInterfaceType = 0;
  uint16_t m_nSelectedConnection = 0xFFFF;
  COrvellaInterface* m_pMidiIF = nullptr;
  uint8_t m_RegisterImage[kImageSize] = {};
  CCardUpdater* m_pZTUSB = nullptr;
  uint8_t m_ChannelCacheA[64] = {};
  uint8_t m_ChannelCacheB[64] = {};
  uint8_t m_CellLevel[576] = {};
  uint8_t m_CellMute[576] = {};
  uint8_t m_CellTrim[576] = {};
  bool m_bHighRegisterRange = false;
  bool m_bExtendedAddressing = false;
  bool m_bLost = true;
  bool m_bCardSerialWrite = false;
  uint32_t m_dwLossCount = 0;
  uint16_t m_nLastResponseStart = 0xFFFF;
  uint16_t m_nLastResponseCount = 0;
  uint32_t m_dwLastReceiveTime;
  bool m_bVerifiedBusy = false;
  uint16_t m_nNotifyRegA = 0;
  uint16_t m_nNotifyRegB = 0;
  RegisterNotifyCallback m_pNotifyCallback = nullptr;
  void* m_pNotifyContext = nullptr;
  uint32_t m_dwNotifyParameter = 0;
  // The index of the last successful selection; Poll re-selects it after
  // a loss even when a failed reconnection cleared the selection.
  uint16_t m_nReconnectConnection = 0xFFFF;
  // See ExpectOneAnswer; 0xFFFF: nothing counted.
  uint16_t m_nAnswerRegister = 0xFFFF;
  uint32_t m_dwAnswers = 0;
  uint32_t m_dwRequests = 0;
};
