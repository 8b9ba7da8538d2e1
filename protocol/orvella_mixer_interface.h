#pragma once
#include <cstdint>

// Callback of a register notification: called from inside Poll with the
// context and parameter given to SetRegisterNotification.
typedef void (*RegisterNotifyCallback)(void* context, uint32_t parameter);

// The general remote-control interface of a converter: identity, firmware
// transfer, serial numbers and the mixer and clock settings. The slot order
// of the 113 operations (the number before each) is part of the interface;
// every implementation keeps it. Results: 0 success, 1 failure or refused,
// 2 argument out of range, unless an operation says otherwise. Getters read
// the engine's copy of the unit's registers and never send a request.
class COrvellaMixerInterface {
 public:
  // 0. Releases the transport and everything the engine owns.
  virtual ~COrvellaMixerInterface() {}

  // ------------------------------------------------------------ connection
  // 1. Only MIDI ports whose name contains `text` are used by the next Open
  // (at most 255 characters kept). Returns 0.
  virtual int SetMIDIPortFilter(const char* text) = 0;
  // 2. Which transports Open tries: 0x04 driver, 0x08 MIDI, 0x20 network.
  virtual int SetInterfaceMask(uint32_t mask) = 0;
  // 3. Stores a name for the caller; nothing reads it back. Returns 0.
  virtual int SetSecondaryName(const char* text) = 0;
  // 4. Opens the first transport of the mask that finds a unit; 0 when a
  // transport is held, 1 when none opened.
  virtual int Open() = 0;
  // 5. Closes and deletes the transport; the engine reads as disconnected.
  virtual int Close() = 0;
  // 6. Drains input, stores register data, sends the periodic request of
  // the poll mode, detects loss and reconnects. 1 without a transport or
  // when it cannot be re-opened, else 0.
  virtual int Poll() = 0;
  // 7. Writes 1 until a selection succeeded and after a loss, else 0.
  virtual int IsConnectionLost(uint8_t* out) = 0;
  // 8. Firmware minor version 0..63.
  virtual int GetFirmwareMinor(uint8_t* out) = 0;
  // 9. Poll mode 1 (identity poll).
  virtual int StartPolling() = 0;
  // 10. Sets the poll mode 0..5 and restarts the silence timer.
  virtual int SetPollMode(uint8_t mode) = 0;

  // ------------------------------------------------------ firmware transfer
  // 11. One Poll, then the programming status (register 9).
  virtual int GetProgrammingStatus(uint8_t* status) = 0;
  // 12. One Poll, then state (56), progress (58) and aux (57).
  virtual int GetProgrammingProgress(uint8_t* state, uint8_t* progress, uint8_t* aux) = 0;
  // 13. Selects the PROM bank that is not active; the send result.
  virtual int SelectAlternateBank() = 0;
  // 14. Bank 0 PROM1, 1 PROM2, others nothing. Returns 0.
  virtual int SelectBank(uint8_t bank) = 0;
  // 15. Tells the option card to erase. Returns 0.
  virtual int StartErase() = 0;
  // 16. Waits for `count` more register-data messages: 0, or 1 after
  // 500 ms. Returns 0 at once in poll modes 3 and 4.
  virtual int WaitForResponse(uint16_t count) = 0;
  // 17. Sends one firmware packet (at most 128 bytes); the send result of
  // the data message.
  virtual int WriteFirmwarePacket(const uint8_t* data, int length) = 0;
  // 18. Asks the unit for the next verify packet; the send result.
  virtual int RequestVerifyPacket() = 0;
  // 19. Copies `length` (at most 128) bytes of the last verify packet.
  virtual int ReadVerifyPacket(uint8_t* out, int length) = 0;
  // 20. Tells the unit that programming is complete. Returns 0.
  virtual int SetProgrammingComplete() = 0;
  // 21. Tells the unit to cancel programming; the send result.
  virtual int CancelProgramming() = 0;

  // -------------------------------------------------------- serial numbers
  // 22. Writes, confirms and commits the unit's serial number; 0 when the
  // commit was sent. Shows its own message box on failure.
  virtual int WriteSerialNumber(uint32_t serial) = 0;
  // 23. The same for the option card's serial number.
  virtual int WriteZSlotSerialNumber(uint32_t serial) = 0;

  // 24. Routes programming traffic to the option card (true) or the unit.
  virtual int SelectZSlotFirmware(bool on) = 0;
  // 25. Announces the image size in bytes (registers 48..51). Returns 0.
  virtual int SetFirmwareSize(uint32_t bytes) = 0;
  // 26. Connections of the open transport; 1 without transport.
  virtual int GetNumberOfConnections(uint16_t* count) = 0;
  // 27. Selects connection `index` and reads the unit's identity; 0 or 1.
  virtual int SelectConnection(uint16_t index) = 0;
  // 28. The transport's selected connection; 1 without transport.
  virtual int GetSelectedConnection(uint16_t* index) = 0;
  // 29. 2 driver, 3 MIDI, 5 network: the kind Open tried last.
  virtual int GetInterfaceType(uint16_t* type) = 0;
  // 30. Selects `index` and writes "<model><variant> connected via <name>"
  // and the product id; 1 without transport.
  virtual int GetConnectionDescription(uint16_t index, char* text, int size, uint8_t* productId) = 0;
  // 31. The unit's packed serial number, 0xFFFFFFFF when blank. Returns 0.
  virtual int GetSerialNumber(uint32_t* serial) = 0;

  // --------------------------------------------------------------- identity
  // 32. The unit's product id (96 for an Orvella(n) reporting 38 or 39).
  virtual int GetProductID(uint8_t* id) = 0;
  // 33. True for the Vinto model (product id 49).
  virtual bool IsVinto() = 0;
  // 34. PCB revision of the unit.
  virtual int GetPCBRevision(uint8_t* out) = 0;
  // 35. Firmware major version 0..63.
  virtual int GetFirmwareMajor(uint8_t* out) = 0;

  // ------------------------------------------------------ mixer and clock
  // 36. Writes a new register 2 built from the image (image unchanged).
  virtual int SetReg2Selection(uint16_t which, uint8_t value) = 0;
  // 37. Reads a selection of register 2; 1 when disconnected.
  virtual int GetReg2Selection(uint16_t which, uint8_t* value) = 0;
  // 38. Clock source code in bits 0..2 of register 3.
  virtual int SetReg3Source(uint8_t choice) = 0;
  // 39. Inverse of slot 38; a code without entry writes nothing.
  virtual int GetReg3Source(uint8_t* choice) = 0;
  // 40. Bit 3 of register 3.
  virtual int SetReg3Flag(bool on) = 0;
  // 41.
  virtual int GetReg3Flag(uint8_t* out) = 0;
  // 42. Sample rate index 0..5 (44.1 to 192 kHz).
  virtual int SetSampleRate(uint8_t index) = 0;
  // 43.
  virtual int GetSampleRate(uint8_t* index) = 0;
  // 44. Bit 7 of register 3, 0 when the source code is 5.
  virtual int GetReg3Bit7(uint8_t* out) = 0;
  // 45..48. Two-bit choices in register 4.
  virtual int SetReg4Bits01(uint8_t choice) = 0;
  virtual int GetReg4Bits01(uint8_t* choice) = 0;
  virtual int SetReg4Bits23(uint8_t choice) = 0;
  virtual int GetReg4Bits23(uint8_t* choice) = 0;
  // 49..56. Single bits of register 4 (bit 7 inverted).
  virtual int SetReg4Bit4(bool on) = 0;
  virtual int GetReg4Bit4(uint8_t* out) = 0;
  virtual int SetReg4Bit5(bool on) = 0;
  virtual int GetReg4Bit5(uint8_t* out) = 0;
  virtual int SetReg4Bit6(bool on) = 0;
  virtual int GetReg4Bit6(uint8_t* out) = 0;
  virtual int SetReg4Bit7(bool on) = 0;
  virtual int GetReg4Bit7(uint8_t* out) = 0;
  // 57..63. Bits of register 5.
  virtual int GetReg5Bit0(uint8_t* out) = 0;
  virtual int GetReg5Bit1(uint8_t* out) = 0;
  virtual int SetReg5Bit2(bool on) = 0;
  virtual int GetReg5Bit2(uint8_t* out) = 0;
  virtual int SetReg5Bit3(bool on) = 0;
  virtual int GetReg5Bit3(uint8_t* out) = 0;
  virtual int GetReg5Bit5(uint8_t* out) = 0;
  // 64. Register 6.
  virtual int GetReg6(uint8_t* out) = 0;
  // 65. Register 7 & 0x3F.
  virtual int GetReg7Low(uint8_t* out) = 0;

  // ---------------------------------------------------- variants and card
  // 66. 1 for the 1824 model variant (firmware 18 or later).
  virtual int Is1824Variant(uint8_t* out) = 0;
  // 67. 1 for the VT model variant (firmware 18 or later).
  virtual int IsVTVariant(uint8_t* out) = 0;
  // 68. Product id of the option card (23 reads as 19).
  virtual int GetCardID(uint8_t* id) = 0;
  // 69. The card's packed serial number; 1 with 0xFFFFFFFF when blank.
  virtual int GetZSlotSerialNumber(uint32_t* serial) = 0;
  // 70. The card's firmware major and (where the model has it) minor.
  virtual int GetCardFirmwareVersion(uint8_t* major, uint8_t* minor) = 0;
  // 71. The card's PCB revision.
  virtual int GetCardPCBRevision(uint8_t* out) = 0;

  // 72..75. Bits 4 and 5 of register 19.
  virtual int SetReg19Bit4(bool on) = 0;
  virtual int GetReg19Bit4(uint8_t* out) = 0;
  virtual int SetReg19Bit5(bool on) = 0;
  virtual int GetReg19Bit5(uint8_t* out) = 0;
  // 76, 77. Channel caches filled from registers 64..127.
  virtual int GetChannelCacheA(uint8_t channel, uint8_t* out) = 0;
  virtual int GetChannelCacheB(uint8_t channel, uint8_t* out) = 0;
  // 78. Does nothing; returns 0.
  virtual int Reserved78() = 0;
  // 79..84. Level, mute and trim of cell (type 0..17, channel 0..31).
  virtual int SetLevel(uint8_t type, uint8_t channel, uint8_t value) = 0;
  virtual int GetLevel(uint8_t type, uint8_t channel, uint8_t* out) = 0;
  virtual int SetMute(uint8_t type, uint8_t channel, bool muted) = 0;
  virtual int GetMute(uint8_t type, uint8_t channel, uint8_t* out) = 0;
  virtual int SetTrim(uint8_t type, uint8_t channel, uint8_t value) = 0;
  virtual int GetTrim(uint8_t type, uint8_t channel, uint8_t* out) = 0;
  // 85. True when the rolling schedule also polls registers 256..383.
  virtual bool IsHighRegisterRange() = 0;
  // 86..89. Registers 24, 20, 21 and 22/23 as the unit reports them.
  virtual int GetReg24Limited(uint8_t* out) = 0;
  virtual int GetReg20Plus1(uint8_t* out) = 0;
  virtual int GetReg21Plus1(uint8_t* out) = 0;
  virtual int GetReg22Plus1(uint16_t* out) = 0;
  // 90. Firmware date word (registers 7 and 8).
  virtual int GetFirmwareDate(uint16_t* date) = 0;
  // 91. Register 27 (two-valued before firmware 7).
  virtual int SetReg27(uint8_t value) = 0;
  // 92. Asks the unit to resend everything and reads it back. Returns 0.
  virtual int ReloadAllRegisters() = 0;
  // 93. Firmware date, from a fixed table before firmware 7.
  virtual int GetFirmwareDateCompat(uint16_t* date) = 0;
  // 94..97. Single status bits.
  virtual int GetReg125Bit7(uint8_t* out) = 0;
  virtual bool GetReg125Bit2() = 0;
  virtual bool GetReg124Bit7() = 0;
  virtual bool GetReg42Bit3() = 0;
  // 98. Rate of stream `which` (0..4) in hertz, 0 when unknown.
  virtual int GetStreamRate(uint8_t which, uint32_t* hertz) = 0;
  // 99. Meter `index` of the first or second bank.
  virtual int GetMeter(bool first, uint16_t index, int* level, uint8_t* clip) = 0;
  // 100..103. Matrix and output gains in tenths of a decibel.
  virtual int SetMatrixGain(uint8_t in, uint8_t out, int16_t gain) = 0;
  virtual int GetMatrixGain(uint8_t in, uint8_t out, int16_t* gain) = 0;
  virtual int SetOutputGain(uint8_t channel, int16_t gain) = 0;
  virtual int GetOutputGain(uint8_t channel, int16_t* gain) = 0;
  // 104..109. Routing bits of three register blocks.
  virtual int SetRouteBitA(uint8_t a, uint8_t bit, bool on) = 0;
  virtual int GetRouteBitA(uint8_t a, uint8_t bit, uint8_t* out) = 0;
  virtual int SetRouteBitB(uint8_t bit, bool on) = 0;
  virtual int GetRouteBitB(uint8_t bit, uint8_t* out) = 0;
  virtual int SetRouteBitC(uint8_t a, uint8_t bit, bool on) = 0;
  virtual int GetRouteBitC(uint8_t a, uint8_t bit, uint8_t* out) = 0;

  // -------------------------------------------------------- raw registers
  // 110. The image byte of `reg`; 2 when reg > 2047. Sends nothing.
  virtual int ReadRegister(uint16_t reg, uint8_t* value) = 0;
  // 111. Stores and sends `value`; 2 when reg > 2047, else 0 (the send
  // result is not reported).
  virtual int WriteRegister(uint16_t reg, uint8_t value) = 0;
  // 112. Calls callback(context, parameter) from Poll after register data
  // touched regA or regB.
  virtual int SetRegisterNotification(uint16_t regA, uint16_t regB, RegisterNotifyCallback callback, void* context,
                                      uint32_t parameter) = 0;
};
