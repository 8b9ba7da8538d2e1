// The rows of the fault matrix. Each row names its fault, the messages the
// user must see, whether the unit cancel command goes out, and arranges the
// run: the fault switches of the unit model, the links or the simulated
// libraries, and what the user does.
#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "platform/files/resources.h"
#include "sim/vezer/install/vezer_install.h"
#include "tests/faults/fault_run.h"

namespace faults {

namespace {

namespace fs = std::filesystem;
using workflow_test::RegisterFrame;

constexpr int kUpdate = resources::IDC_UPDATE;
constexpr int kList = resources::IDC_MODEL;
constexpr const char* kSerial = "SN=6018120042";

const std::string kAckTimeout = "Wait for Write Firmware Packet Failed!\n\nTIMEOUT\n";
const std::string kUnitFailed = "Updating the Firmware on the Orvella(n) FAILED!";
const std::string kCardFailed = "ZI-RERAR Firmware Update Failed!";
const std::string kVezerFailed = "VE-ZER Firmware Update Failed!";
const std::string kStopped = "ProgramEEPROM: Unit stopped reporting progress!\n";

// ---------------------------------------------------------------- set-ups

// Network rows: a card image of 8 packets, programmed as a factory script
// would, with no simulated link in the way.
std::string NetworkCardUpdate(const fs::path& folder) {
  const fs::path image = folder / "ZTDNT0102NC.BIN";
  std::ofstream(image, std::ios::binary) << std::string(1000, '\x3C');
  return "--console --yes ZSLOT FILE=" + image.string();
}
// A main-unit image of 10 packets for the unit behind the card.
std::string NetworkUnitUpdate(const fs::path& folder) {
  const fs::path image = folder / "NBT0110ANC.BIN";
  std::ofstream(image, std::ios::binary) << std::string(10 * 128, '\x5A');
  return "--console --yes FILE=" + image.string();
}
// The card takes 38 datagrams from the host before its link goes silent:
// the erase, the 8 packets written and the first verify requests.
constexpr const char* kNetworkSilentInVerify = "--lifetime=60 --silent-after=38";

sim::UnitConfig Plain() { return sim::UnitConfig(); }

sim::UnitConfig WithCard() {
  sim::UnitConfig c;
  c.card.id = 21;
  c.card.serial = 0x1526D4D2;
  return c;
}

sim::UnitConfig WithModule() {
  sim::UnitConfig c;
  c.hasModule = true;
  return c;
}

sim::UnitConfig Blank() {
  sim::UnitConfig c = WithCard();
  c.serial = sim::kBlankSerial;
  return c;
}

// Drops a small unit image and presses Update.
void UnitUpdate(FaultRun& r, size_t bytes = 10 * 128) {
  r.Main().Drop({r.WriteImage("NBT0110ANC.BIN", bytes)}).Press(kUpdate);
}

// Selects the card entry, drops a card image of 8 packets, presses Update.
void CardUpdate(FaultRun& r) { r.Main().Select(kList, 1).Drop({r.WriteImage("ZTDNT0102NC.BIN", 1000)}).Press(kUpdate); }

// The built-in image of the selected entry.
void BuiltInUpdate(FaultRun& r, int entry = 0) {
  if (entry) r.Main().Select(kList, entry);
  r.Main().Press(kUpdate);
}

// The unit drops the answer to packet 3 and the link brings `fake` (a
// damaged "packet taken" answer) in its place.
void FakeAck(FaultRun& r, std::vector<uint8_t> fake) {
  r.Unit().faults().dropAckAtPacket = 3;
  workflow_test::Rig& rig = *r.Rig();
  rig.tap.onFrame = [&rig, fake](uint8_t code, int nth) {
    if (code == codec::kDataPacket && nth == 3) rig.tap.Inject(fake);
  };
  UnitUpdate(r);
}

std::vector<uint8_t> TakenAnswer() { return RegisterFrame(9, {0x00}); }

// A copy of the built-in table with the main unit's image damaged by `damage`.
void DamageBuiltInImage(FaultRun& r, std::function<void(std::vector<uint8_t>&)> damage) {
  { CFirmwareImages registers; }  // the first one registers the built-in table
  platform::Resources& real = platform::Use<platform::Resources>();
  auto& entries = r.Keep<std::vector<platform::ResourceEntry>>();
  auto& data = r.Keep<std::vector<uint8_t>>();
  for (size_t i = 0; i < real.Count(); ++i) entries.push_back(*real.At(i));
  for (auto& e : entries) {
    if (std::strcmp(e.name, "NBT0110ANC.BIN") != 0) continue;
    data.assign(e.data, e.data + e.size);
    damage(data);
    e.data = data.data();
    e.size = static_cast<uint32_t>(data.size());
  }
  auto& table = r.Keep<platform::TableResources>(entries.data(), entries.size());
  r.Keep<platform::Override<platform::Resources>>(table);
}

// A path of exactly `length` characters naming a unit image in the working folder.
std::string PathOfLength(FaultRun& r, size_t length) {
  const std::string folder = r.WorkDir().string() + "/";
  const std::string stem = "NBT0120ANC";
  std::string name = stem + std::string(length - folder.size() - stem.size() - 4, 'A') + ".BIN";
  return folder + name;
}

// Console rows: writes `name` holding an image with the built-in images'
// header for device `id`, announcing `announced` bytes, `size` long.
std::string HeaderImage(const fs::path& folder, const std::string& name, uint8_t id, uint32_t announced,
                        uint32_t size) {
  std::string bytes(size, '\x5A');
  const char magic[8] = {'O', 'V', 'F', 'W', 'I', 'M', 'G', 0};
  bytes.replace(0, 8, magic, 8);
  bytes[8] = static_cast<char>(id);
  bytes[9] = 0;
  for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<char>(announced >> (8 * i));
  std::ofstream(folder / name, std::ios::binary) << bytes;
  return (folder / name).string();
}

// Console rows: writes an empty unit image into the folder.
std::string EmptyImage(const fs::path& folder) {
  std::ofstream(folder / "NBT0120ANC.BIN").close();
  return (folder / "NBT0120ANC.BIN").string();
}

}  // namespace

sim::UnitConfig ConfigFor(Flow flow) {
  switch (flow) {
    case Flow::kCard: return WithCard();
    case Flow::kModule: return WithModule();
    case Flow::kSerial: return Blank();
    default: return Plain();
  }
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // ------------------------------------------------ main unit, in-process link
      {"main_ack_dropped", Flow::kMain, Link::kInProcess, "acknowledgement of packet 3 dropped",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT after 1000 ms, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().dropAckAtPacket = 3; UnitUpdate(r); return ""; }},
      {"main_ack_delayed", Flow::kMain, Link::kInProcess, "acknowledgement of packet 3 delayed 1500 ms",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT after 1000 ms; the late answer changes nothing",
       [](FaultRun& r) {
         r.Unit().faults().delayAckAtPacket = 3;
         r.Unit().faults().ackDelayMs = 1500;
         UnitUpdate(r);
         return "";
       }},
      {"main_txerr", Flow::kMain, Link::kInProcess, "CRC mismatch (TXERR) on packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nTXERR\n", kUnitFailed}, true, "TXERR shown, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().txErrAtPacket = 3; UnitUpdate(r); return ""; }},
      {"main_pgmerr", Flow::kMain, Link::kInProcess, "PGMERR on packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kUnitFailed}, true, "PGMERR shown, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().pgmErrAtPacket = 3; UnitUpdate(r); return ""; }},
      {"main_silent_mid_transfer", Flow::kMain, Link::kInProcess, "unit silent from packet 3",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().silentFromPacket = 3; UnitUpdate(r); return ""; }},
      {"main_silent_progress", Flow::kMain, Link::kInProcess, "unit silent in the progress phase",
       {kStopped, kUnitFailed}, false,
       "progress silence bound (120 s), failure; the link is reopened for up to 3 s to send the cancel, but the unit stays silent (logged)",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         rig.tap.onFrame = [&rig](uint8_t code, int) {
           if (code == codec::kRead && rig.Sent(codec::kDataPacket) == 10) rig.unit.faults().silent = true;
         };
         UnitUpdate(r);
         return "";
       }},
      {"main_unit_verify_error", Flow::kMain, Link::kInProcess, "the unit's own verify fails (state 7)",
       {"ProgramEEPROM: Unit reported a Verify Error!\n", kUnitFailed}, true,
       "reported as soon as the unit says so, not as silence; cancel, failure",
       [](FaultRun& r) { r.Unit().faults().corruptStoredByte = 200; UnitUpdate(r); return ""; }},
      {"main_ack_repeated", Flow::kMain, Link::kInProcess, "the answer to packet 3 comes twice",
       {"Wait for Write Firmware Packet Failed!\n\nduplicate reply\n", kUnitFailed}, true,
       "a second answer to one request: duplicate reply, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().duplicateAckAtPacket = 3; UnitUpdate(r); return ""; }},
      {"main_stall_erase", Flow::kMain, Link::kInProcess, "unit stalls in erase",
       {kStopped, kUnitFailed}, true, "progress silence bound, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().stallInState = sim::kStateErasing; UnitUpdate(r); return ""; }},
      {"main_stall_programming", Flow::kMain, Link::kInProcess, "unit stalls in programming",
       {kStopped, kUnitFailed}, true, "progress silence bound, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().stallInState = sim::kStateProgramming; UnitUpdate(r); return ""; }},
      {"main_stall_verify", Flow::kMain, Link::kInProcess, "unit stalls in verify",
       {kStopped, kUnitFailed}, true, "progress silence bound, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().stallInState = sim::kStateVerifying; UnitUpdate(r); return ""; }},

      // ------------------------------------------------ main unit, simulated MIDI service
      {"main_midi_ack_dropped", Flow::kMain, Link::kMidi, "acknowledgement of packet 3 dropped",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT, cancel, failure (built-in image)",
       [](FaultRun& r) { r.Unit().faults().dropAckAtPacket = 3; BuiltInUpdate(r); return ""; }},
      {"main_midi_txerr", Flow::kMain, Link::kMidi, "CRC mismatch (TXERR) on packet 5",
       {"Wait for Write Firmware Packet Failed!\n\nTXERR\n", kUnitFailed}, true, "TXERR shown, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().txErrAtPacket = 5; UnitUpdate(r); return ""; }},
      {"main_midi_silent", Flow::kMain, Link::kMidi, "unit silent from packet 2",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().silentFromPacket = 2; UnitUpdate(r); return ""; }},
      {"main_midi_noise", Flow::kMain, Link::kMidi, "note-ons and active sensing between frames, PGMERR on packet 4",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kUnitFailed}, true,
       "noise ignored, the error still seen, cancel, failure",
       [](FaultRun& r) {
         r.Unit().faults().pgmErrAtPacket = 4;
         r.Main().Do([&r](test_support::MemoryDialog&) {
           sim::SimMidiService& midi = r.Scenario()->Midi();
           for (uint32_t d = 0; d < midi.InputCount(); ++d) {
             midi.InputFaults(d).channelNoise = true;
             midi.InputFaults(d).activeSensing = true;
           }
         });
         UnitUpdate(r);
         return "";
       }},
      {"main_midi_send_stalls", Flow::kMain, Link::kMidi, "a MIDI send never completes",
       {"WriteFirmwarePacket Failed!", kUnitFailed}, true, "the send times out, cancel attempted, failure",
       [](FaultRun& r) {
         r.Unit();
         r.Main().Do([&r](test_support::MemoryDialog&) { r.Scenario()->Midi().OutputFaults(r.UnitOutput()).stallSends = true; });
         BuiltInUpdate(r);
         return "";
       }},
      {"main_midi_probe_wrong_shape", Flow::kMain, Link::kMidi, "reads answered for the wrong registers",
       {"Unable to locate an Orvella(n)!"}, false, "no unit offered, nothing programmed",
       [](FaultRun& r) { r.Unit().faults().readAnswerOffset = 1; BuiltInUpdate(r); return ""; }},

      // ------------------------------------------------ main unit, simulated host driver
      {"main_driver_ack_dropped", Flow::kMain, Link::kDriver, "acknowledgement of packet 3 dropped",
       {kAckTimeout, kUnitFailed}, true, "TIMEOUT, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().dropAckAtPacket = 3; BuiltInUpdate(r); return ""; }},
      {"main_driver_pgmerr", Flow::kMain, Link::kDriver, "PGMERR on packet 0",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kUnitFailed}, true, "PGMERR shown, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().pgmErrAtPacket = 0; UnitUpdate(r); return ""; }},
      {"main_driver_stall_programming", Flow::kMain, Link::kDriver,
       "unit stalls in programming", {kStopped, kUnitFailed}, true, "progress silence bound, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().stallInState = sim::kStateProgramming; UnitUpdate(r, 300); return ""; }},
      {"main_driver_fetch_fails", Flow::kMain, Link::kDriver, "every driver fetch fails from the update on",
       {kAckTimeout, kUnitFailed}, false,
       "the dropped link fails the first packet's wait (TIMEOUT), failure; reopening it for the cancel fails too (logged)",
       [](FaultRun& r) {
         r.Unit();
         r.Main().Do([&r](test_support::MemoryDialog&) { r.Scenario()->Driver().failFetch = true; });
         BuiltInUpdate(r);
         return "";
       }},

      // ------------------------------------------------ frames on the link (in-process)
      {"link_split_every_byte", Flow::kMain, Link::kInProcess, "answers read one byte at a time, PGMERR on packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kUnitFailed}, true,
       "frames joined again, the error seen, cancel, failure",
       [](FaultRun& r) {
         r.Rig()->wiring.readChunk = 1;
         r.Unit().faults().pgmErrAtPacket = 3;
         UnitUpdate(r);
         return "";
       }},
      {"link_noise_between_frames", Flow::kMain, Link::kInProcess, "stray bytes before every answer, TXERR on packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nTXERR\n", kUnitFailed}, true,
       "noise dropped, the error seen, cancel, failure",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         rig.tap.onFrame = [&rig](uint8_t, int) { rig.tap.Inject({0xFE, 0x90, 0x40, 0x7F, 0x12, 0xF7, 0x55}); };
         r.Unit().faults().txErrAtPacket = 3;
         UnitUpdate(r);
         return "";
       }},
      {"link_missing_f7", Flow::kMain, Link::kInProcess, "a \"packet taken\" answer missing its 0xF7",
       {kAckTimeout, kUnitFailed}, true, "the cut frame is not taken as an answer: TIMEOUT, cancel",
       [](FaultRun& r) {
         std::vector<uint8_t> fake = TakenAnswer();
         fake.pop_back();
         FakeAck(r, fake);
         return "";
       }},
      {"link_5000_byte_frame", Flow::kMain, Link::kInProcess, "a 5000-byte frame ending in a \"packet taken\" answer",
       {kAckTimeout, kUnitFailed}, true, "the oversized frame is dropped whole: TIMEOUT, cancel",
       [](FaultRun& r) {
         std::vector<uint8_t> fake = TakenAnswer();
         fake.insert(fake.begin() + 4, 5000 - fake.size(), 0x00);
         FakeAck(r, fake);
         return "";
       }},
      {"link_foreign_manufacturer", Flow::kMain, Link::kInProcess, "a \"packet taken\" answer with a foreign manufacturer id",
       {kAckTimeout, kUnitFailed}, true, "the foreign frame is ignored: TIMEOUT, cancel",
       [](FaultRun& r) {
         std::vector<uint8_t> fake = TakenAnswer();
         fake[1] = 0x00;
         fake[2] = 0x20;
         fake[3] = 0x33;
         FakeAck(r, fake);
         return "";
       }},

      // ------------------------------------------------ ZM-DIG module
      {"module_ack_dropped", Flow::kModule, Link::kInProcess, "acknowledgement of module packet 3 dropped",
       {kAckTimeout}, true, "TIMEOUT, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().dropAckAtPacket = 3; BuiltInUpdate(r, 1); return ""; }},
      {"module_pgmerr", Flow::kModule, Link::kInProcess, "PGMERR on module packet 2",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n"}, true, "PGMERR shown, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().pgmErrAtPacket = 2; BuiltInUpdate(r, 1); return ""; }},
      {"module_midi_silent", Flow::kModule, Link::kMidi, "unit silent from module packet 1",
       {kAckTimeout}, true, "TIMEOUT, cancel, failure",
       [](FaultRun& r) { r.Unit().faults().silentFromPacket = 1; BuiltInUpdate(r, 1); return ""; }},

      // ------------------------------------------------ ZI-RERAR card (in-process card link)
      {"card_erase_stall", Flow::kCard, Link::kInProcess, "card stalls in erase",
       {"Wait for Erase EEPROM Failed!\n\nTIMEOUT\n", kCardFailed}, false, "erase TIMEOUT (12 s), failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().stallInState = sim::kStateErasing; CardUpdate(r); return ""; }},
      {"card_ack_dropped", Flow::kCard, Link::kInProcess, "acknowledgement of card packet 2 dropped",
       {kAckTimeout, kCardFailed}, false, "TIMEOUT, failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().dropAckAtPacket = 2; CardUpdate(r); return ""; }},
      {"card_ack_delayed", Flow::kCard, Link::kInProcess, "acknowledgement of card packet 2 delayed 1500 ms",
       {kAckTimeout, kCardFailed}, false, "TIMEOUT, failure, no cancel",
       [](FaultRun& r) {
         r.Unit().faults().delayAckAtPacket = 2;
         r.Unit().faults().ackDelayMs = 1500;
         CardUpdate(r);
         return "";
       }},
      {"card_txerr", Flow::kCard, Link::kInProcess, "CRC mismatch (TXERR) on card packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nTXERR\n", kCardFailed}, false, "TXERR shown, failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().txErrAtPacket = 3; CardUpdate(r); return ""; }},
      {"card_pgmerr", Flow::kCard, Link::kInProcess, "PGMERR on card packet 3",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kCardFailed}, false, "PGMERR shown, failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().pgmErrAtPacket = 3; CardUpdate(r); return ""; }},
      {"card_silent_mid_transfer", Flow::kCard, Link::kInProcess, "unit silent from card packet 4",
       {kAckTimeout, kCardFailed}, false, "TIMEOUT, failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().silentFromPacket = 4; CardUpdate(r); return ""; }},
      {"card_verify_byte_changed", Flow::kCard, Link::kInProcess, "verify packet 5 with one byte changed",
       {"Firmware Verify Failed!", kCardFailed}, false, "verify failure, no completion, no cancel",
       [](FaultRun& r) { r.Unit().faults().verifyByteChangedAt = 5; CardUpdate(r); return ""; }},
      {"card_verify_out_of_order", Flow::kCard, Link::kInProcess, "verify packets 2 and 3 swapped",
       {"Firmware Verify Failed!", kCardFailed}, false, "verify failure, no completion, no cancel",
       [](FaultRun& r) { r.Unit().faults().verifyOutOfOrderAt = 2; CardUpdate(r); return ""; }},
      {"card_verify_missing", Flow::kCard, Link::kInProcess, "verify packet 3 missing",
       {"Wait for Verify Packet Failed!\n\nTIMEOUT\n", kCardFailed}, false, "TIMEOUT, failure, no cancel",
       [](FaultRun& r) { r.Unit().faults().verifyMissingAt = 3; CardUpdate(r); return ""; }},
      {"card_stored_byte_corrupt", Flow::kCard, Link::kInProcess, "the card stores one byte wrong",
       {"Firmware Verify Failed!", kCardFailed}, false, "verify failure, no completion, no cancel",
       [](FaultRun& r) { r.Unit().faults().corruptStoredByte = 300; CardUpdate(r); return ""; }},
      {"card_ack_repeated", Flow::kCard, Link::kInProcess, "the answer to card packet 3 comes twice",
       {"Wait for Write Firmware Packet Failed!\n\nduplicate reply\n", kCardFailed}, true,
       "duplicate reply, cancel to the card, partial image said; failure",
       [](FaultRun& r) { r.Unit().faults().duplicateAckAtPacket = 3; CardUpdate(r); return ""; }},
      {"card_verify_forged", Flow::kCard, Link::kInProcess,
       "the card stores a byte wrong; a forged answer with the image's bytes follows its own",
       {"Wait for Verify Packet Failed!\n\nduplicate reply\n", kCardFailed}, true,
       "duplicate reply before any compare, cancel to the card; failure",
       [](FaultRun& r) {
         r.Unit().faults().corruptStoredByte = 300;
         r.Unit().faults().forgedVerifyAt = 2;
         CardUpdate(r);
         return "";
       }},
      {"card_completion_lost", Flow::kCard, Link::kInProcess, "every completion command is lost",
       {"sent, not confirmed"}, false,
       "the status read back never shows the end: sent three times, then sent, not confirmed (exit status 3)",
       [](FaultRun& r) {
         r.Rig()->tap.loseCode = codec::kCompleteBankSet;
         r.Rig()->tap.loseCount = 100;
         CardUpdate(r);
         return "";
       }},
      {"card_midi_no_card_endpoint", Flow::kCard, Link::kMidi, "MIDI has no card endpoint",
       {"ProgramEEPROM: SelectZSlotFirmware Failed!\n", kCardFailed}, false, "refused before erase, no cancel",
       [](FaultRun& r) { r.UseScenario("two-units-card"); BuiltInUpdate(r, 1); return ""; }},

      // ------------------------------------------------ VE-ZER card (simulated driver library)
      {"vezer_dfu_fails", Flow::kVezer, Link::kMidi, "the download stops half way",
       {kVezerFailed}, false, "failure, no unit cancel",
       [](FaultRun& r) {
         r.SetEnv("REFLASH_VEZER_FAULTS", "dfu-fail");
         r.UseScenario("vezer");
         BuiltInUpdate(r, 1);
         return "";
       }},
      {"vezer_dfu_fails_quietly", Flow::kVezer, Link::kMidi, "the download stops half way, its end reports success",
       {kVezerFailed}, false, "failure although the library says success at the end",
       [](FaultRun& r) {
         r.SetEnv("REFLASH_VEZER_FAULTS", "dfu-fail-quiet");
         r.UseScenario("vezer");
         BuiltInUpdate(r, 1);
         return "";
       }},
      {"vezer_start_fails", Flow::kVezer, Link::kMidi, "starting the download fails",
       {kVezerFailed}, false, "failure, no unit cancel",
       [](FaultRun& r) {
         r.SetEnv("REFLASH_VEZER_FAULTS", "start-fail");
         r.UseScenario("vezer");
         BuiltInUpdate(r, 1);
         return "";
       }},
      {"vezer_load_fails", Flow::kVezer, Link::kMidi, "the library cannot load the image",
       {kVezerFailed}, false, "failure, no unit cancel",
       [](FaultRun& r) {
         r.SetEnv("REFLASH_VEZER_FAULTS", "load-fail");
         r.UseScenario("vezer");
         BuiltInUpdate(r, 1);
         return "";
       }},
      {"vezer_library_missing", Flow::kVezer, Link::kMidi, "no driver library; ZSLOT, a VE-ZER image dropped",
       {kVezerFailed}, false, "card not offered; the image is refused as a failure",
       [](FaultRun& r) {
         r.UseScenario("vezer-no-driver");
         r.Main().Drop({r.WriteImage("ZTUSB10V00.BIN", 4096)}).Press(kUpdate);
         return "ZSLOT";  // the unit's entry stands for its card, so the image fits it
       }},
      {"vezer_library_incomplete", Flow::kVezer, Link::kMidi, "driver library lacking an entry point; ZSLOT",
       {"TUSBAUDIO_StartDfuUpload: GetProcAddress failed", kVezerFailed}, false,
       "library refused with the missing entry named; the image is refused as a failure",
       [](FaultRun& r) {
         r.UseScenario("vezer-no-driver");
         auto& folder = r.Keep<sim::VezerDriverFolder>(0, sim::VezerLibrary::kWithoutDfuUpload);
         r.Keep<platform::Override<platform::ProgramFiles>>(folder.Service());
         r.Main().Drop({r.WriteImage("ZTUSB10V00.BIN", 4096)}).Press(kUpdate);
         return "ZSLOT";
       }},

      // ------------------------------------------------ serial numbers
      {"serial_commit_never_confirmed", Flow::kSerial, Link::kInProcess, "SN=: the commit is never confirmed",
       {"Wait for WriteSerialNumber Failed!\nSN=\n\nTIMEOUT\n"}, false, "TIMEOUT shown, run ends failed",
       [](FaultRun& r) { r.Unit().faults().commitNeverConfirmed = true; return kSerial; }},
      {"serial_readback_never_matches", Flow::kSerial, Link::kInProcess, "SN=: the read-back never matches",
       {"COrvellaRemote: WriteSerialNumber Timeout!"}, false, "retries end in a time-out, run ends failed",
       [](FaultRun& r) { r.Unit().faults().serialNeverMatches = true; return kSerial; }},
      {"serial_unit_silent", Flow::kSerial, Link::kInProcess, "SN=: the unit goes silent at the commit",
       {"Wait for WriteSerialNumber Failed!\nSN=\n\nTIMEOUT\n"}, false, "TIMEOUT shown, run ends failed",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         rig.tap.onFrame = [&rig](uint8_t code, int) {
           if (code == codec::kCommitSerial) rig.unit.faults().silent = true;
         };
         return kSerial;
       }},
      {"serial_getsn_commit_never_confirmed", Flow::kSerial, Link::kInProcess, "GETSN: the commit is never confirmed",
       {"Wait for WriteSerialNumber Failed!\nUser Dialog\n\nTIMEOUT\n"}, false, "TIMEOUT shown, run ends failed",
       [](FaultRun& r) {
         r.Unit().faults().commitNeverConfirmed = true;
         r.Host().ScriptFor(resources::kSerialDialog).Type(resources::IDC_SERIAL_EDIT, "6018451234").Press(1);
         return "GETSN";
       }},
      {"serial_midi_readback_never_matches", Flow::kSerial, Link::kMidi, "SN= over MIDI: the read-back never matches",
       {"COrvellaRemote: WriteSerialNumber Timeout!"}, false, "retries end in a time-out, run ends failed",
       [](FaultRun& r) { r.Unit().faults().serialNeverMatches = true; return kSerial; }},
      {"serial_driver_commit_never_confirmed", Flow::kSerial, Link::kDriver, "SN= over the driver: commit never confirmed",
       {"Wait for WriteSerialNumber Failed!\nSN=\n\nTIMEOUT\n"}, false, "TIMEOUT shown, run ends failed",
       [](FaultRun& r) { r.Unit().faults().commitNeverConfirmed = true; return kSerial; }},
      {"serial_invalid_week", Flow::kSerial, Link::kInProcess, "SN=6018001234 (week 0)",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN=6018001234"; }},
      {"serial_invalid_short", Flow::kSerial, Link::kInProcess, "SN=60184 (too short)",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN=60184"; }},
      {"serial_invalid_letters", Flow::kSerial, Link::kInProcess, "SN=60A8451234 (not digits)",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN=60A8451234"; }},
      {"serial_invalid_empty", Flow::kSerial, Link::kInProcess, "SN= with nothing after it",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN="; }},
      {"serial_wrong_model", Flow::kSerial, Link::kInProcess, "SN= naming another device's model",
       {"WriteSerialNumber: SerialNumber Model does not match PID!"}, false, "refused, nothing committed",
       [](FaultRun&) { return "SN=1518451234"; }},

      // ------------------------------------------------ outside input
      {"input_szdd_byte_flipped", Flow::kInput, Link::kInProcess, "built-in SZDD image with one byte changed",
       {"Unable to expand file"}, false, "refused, nothing sent, the expansion removed",
       [](FaultRun& r) {
         DamageBuiltInImage(r, [](std::vector<uint8_t>& b) { b[b.size() / 2] ^= 0x5A; });
         BuiltInUpdate(r);
         return "";
       }},
      {"input_szdd_truncated", Flow::kInput, Link::kInProcess, "built-in SZDD image cut short",
       {"Unable to expand file"}, false, "refused, nothing sent, the expansion removed",
       [](FaultRun& r) {
         DamageBuiltInImage(r, [](std::vector<uint8_t>& b) { b.resize(b.size() / 2); });
         BuiltInUpdate(r);
         return "";
       }},
      {"input_szdd_not_szdd", Flow::kInput, Link::kInProcess, "built-in image without the SZDD header",
       {"Unable to open source file"}, false, "refused, nothing sent",
       [](FaultRun& r) {
         DamageBuiltInImage(r, [](std::vector<uint8_t>& b) { b[0] = 'X'; });
         BuiltInUpdate(r);
         return "";
       }},
      {"input_empty_file", Flow::kInput, Link::kInProcess, "an empty image file dropped",
       {"Unable to get Firmware file size!"}, false, "refused, nothing sent",
       [](FaultRun& r) { UnitUpdate(r, 0); return ""; }},
      {"input_file_gone", Flow::kInput, Link::kInProcess, "the dropped file removed before Update",
       {"Unable to open file '"}, false, "refused, nothing sent",
       [](FaultRun& r) {
         const std::string path = r.WriteImage("NBT0120ANC.BIN", 500);
         r.Main().Drop({path}).Do([path](test_support::MemoryDialog&) { fs::remove(path); }).Press(kUpdate);
         return "";
       }},
      {"input_name_without_tag", Flow::kInput, Link::kInProcess, "a dropped file named FIRMWARE.BIN",
       {"Unable to determine DeviceID from File Name"}, false, "no device, nothing sent",
       [](FaultRun& r) { r.Main().Drop({r.WriteImage("FIRMWARE.BIN", 500)}).Press(kUpdate); return ""; }},
      {"input_name_shorter_than_tag", Flow::kInput, Link::kInProcess, "a dropped file named NB (shorter than a tag)",
       {"Unable to determine DeviceID from File Name"}, false, "no device, nothing sent",
       [](FaultRun& r) { r.Main().Drop({r.WriteImage("NB", 500)}).Press(kUpdate); return ""; }},
      {"input_path_at_bound", Flow::kInput, Link::kInProcess, "a dropped path of exactly 259 characters",
       {"About to program"}, false, "taken whole; the user cancels at the confirmation",
       [](FaultRun& r) {
         const std::string path = PathOfLength(r, 259);
         std::ofstream(path, std::ios::binary) << std::string(500, '\x11');
         r.Host().QueueAnswer(platform::ui::Answer::Cancel);
         r.Main().Drop({path}).Press(kUpdate);
         return "";
       }},
      {"input_path_past_bound", Flow::kInput, Link::kInProcess, "a dropped path of 260 characters",
       {"its path is longer than 259 characters!"}, false, "refused, not cut; the user cancels the built-in image",
       [](FaultRun& r) {
         r.Host().QueueAnswer(platform::ui::Answer::Cancel);
         r.Main().Drop({PathOfLength(r, 260)}).Press(kUpdate);
         return "";
       }},
      {"input_file_option_300", Flow::kInput, Link::kInProcess, "FILE= with a 300-character path",
       {"its path is longer than 259 characters!"}, false, "refused, not cut; the user cancels the built-in image",
       [](FaultRun& r) {
         r.Host().QueueAnswer(platform::ui::Answer::Cancel);
         r.Main().Press(kUpdate);
         return "FILE=" + PathOfLength(r, 300);
       }},
      {"input_file_option_missing", Flow::kInput, Link::kInProcess, "FILE= naming a file that is not there",
       {"Reverting to default firmware."}, false, "built-in image shown; the user cancels",
       [](FaultRun& r) {
         r.Host().QueueAnswer(platform::ui::Answer::Cancel);
         r.Main().Press(kUpdate);
         return "FILE=" + (r.WorkDir() / "NBT0120ANC.BIN").string();
       }},
      {"input_temp_folder_missing", Flow::kInput, Link::kInProcess, "the temporary folder does not exist",
       {"Unable to create compressed file"}, false, "refused, nothing sent",
       [](FaultRun& r) {
         r.BreakTempFolder();
         BuiltInUpdate(r);
         return "";
       }},

      // ------------------------------------------------ safety rules
      {"safety_select_during_download", Flow::kMain, Link::kInProcess,
       "second unit selected during the download, PGMERR on packet 6",
       {"Wait for Write Firmware Packet Failed!\n\nPGMERR\n", kUnitFailed}, true,
       "selection ignored: every packet and the cancel go to the first unit; failure",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         sim::UnitModel& second = r.Keep<sim::UnitModel>();
         rig.wiring.Add(&second, "Sim Link 2");
         rig.unit.faults().pgmErrAtPacket = 6;
         rig.tap.onFrame = [&rig](uint8_t code, int nth) {
           if (code == codec::kDataPacket && nth == 3) rig.host.Open(workflow_test::kMainDialog)->UserSelect(kList, 1);
         };
         UnitUpdate(r);
         return "";
       }},
      {"safety_module_image_on_unit", Flow::kInput, Link::kInProcess, "a ZM-DIG image dropped on the main unit",
       {"is for a ZM-DIG module, but the selected device is the Orvella(n) main unit"}, false,
       "refused before anything is sent",
       [](FaultRun& r) {
         r.Main().Drop({r.WriteImage("ZMDIG0101NC.BIN", 1000)}).Press(kUpdate);
         return "";
       }},
      {"safety_unit_image_on_card", Flow::kCard, Link::kInProcess, "a main-unit image dropped on the ZI-RERAR card",
       {"is for a Orvella(n) main unit, but the selected device is the ZI-RERAR card"}, false,
       "refused before anything is sent",
       [](FaultRun& r) {
         r.Main().Select(kList, 1).Drop({r.WriteImage("NBT0111ANC.BIN", 1000)}).Press(kUpdate);
         return "";
       }},
      {"safety_stand_in_on_real_link", Flow::kInput, Link::kInProcess, "built-in stand-in image on a real link",
       {"No built-in firmware image is available for this device."}, false,
       "not offered; Update refused, nothing sent",
       [](FaultRun& r) {
         r.Rig()->transports.PretendReal();
         BuiltInUpdate(r);
         return "";
       }},
      {"safety_serial_unit_spills", Flow::kSerial, Link::kInProcess, "SN=6018459999 (unit 9999 spills)",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN=6018459999"; }},
      {"safety_serial_week_spills", Flow::kSerial, Link::kInProcess, "SN=6005651234 (week 65 spills into the year)",
       {"Invalid Serial Number!"}, false, "refused before any unit is searched",
       [](FaultRun&) { return "SN=6005651234"; }},
      {"safety_silent_second_unit", Flow::kInput, Link::kInProcess, "the second unit is silent when selected",
       {"Unable to determine New Firmware Version!"}, false,
       "the first unit's identity is not shown for it; no image, the run ends",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         sim::UnitModel& second = r.Keep<sim::UnitModel>();
         rig.wiring.Add(&second, "Sim Link 2");
         r.Main().Do([&second](test_support::MemoryDialog&) { second.faults().silent = true; }).Select(kList, 1);
         return "";
       }},
      {"safety_read_fails_mid_transfer", Flow::kMain, Link::kInProcess, "a Read fails after packet 3, the unit stays",
       {kAckTimeout, kUnitFailed}, true,
       "the lost link is no accepted packet: TIMEOUT; reconnected, cancel sent, failure",
       [](FaultRun& r) {
         workflow_test::Rig& rig = *r.Rig();
         auto& closesAtFault = r.Keep<int>(-1);
         rig.tap.onFrame = [&rig, &closesAtFault](uint8_t code, int nth) {
           if (code == codec::kDataPacket && nth == 3) {
             rig.wiring.failRead = true;
             closesAtFault = rig.wiring.closes;
           } else if (closesAtFault >= 0 && rig.wiring.closes > closesAtFault) {
             rig.wiring.failRead = false;
           }
         };
         UnitUpdate(r);
         return "";
       }},

      // ------------------------------------------------ the console binary
      {"console_no_unit", Flow::kInput, Link::kConsole, "--simulate=none: no unit anywhere",
       {"Unable to locate an Orvella(n)!"}, false, "exit status non-zero",
       nullptr, [](const fs::path&) { return std::string("--console --simulate=none --yes"); }},
      {"console_empty_file", Flow::kInput, Link::kConsole, "FILE= naming an empty image file",
       {"Unable to get Firmware file size!"}, false, "exit status non-zero, nothing programmed",
       nullptr, [](const fs::path& f) { return "--console --simulate --yes FILE=" + EmptyImage(f); }},
      {"console_invalid_serial", Flow::kSerial, Link::kConsole, "SN=6018001234",
       {"Invalid Serial Number!"}, false, "exit status non-zero",
       nullptr, [](const fs::path&) { return std::string("SN=6018001234 --console --simulate"); }},
      {"console_module_image_on_unit", Flow::kInput, Link::kConsole, "FILE= naming a ZM-DIG image, no module",
       {"is for a ZM-DIG module, but the selected device is the Orvella(n) main unit"}, false,
       "refused before anything is sent; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         std::ofstream(f / "ZMDIG0101NC.BIN") << std::string(1000, 'x');
         return "--console --simulate --yes FILE=" + (f / "ZMDIG0101NC.BIN").string();
       }},
      {"console_serial_spills", Flow::kSerial, Link::kConsole, "SN=6018459999",
       {"Invalid Serial Number!"}, false, "exit status non-zero",
       nullptr, [](const fs::path&) { return std::string("SN=6018459999 --console --simulate"); }},
      {"console_read_only_folder", Flow::kInput, Link::kConsole, "read-only working folder (log cannot be opened), empty FILE=",
       {"Unable to get Firmware file size!"}, false, "log dropped, the run goes on; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         const std::string image = EmptyImage(f);
         // Root writes anywhere: a folder in the log file's place stops it as well.
         fs::create_directory(f / "OrvellaReflash.log");
         chmod(f.c_str(), 0555);
         return "--console --simulate --yes FILE=" + image;
       }},
      {"console_missing_log_folder", Flow::kInput, Link::kConsole, "working folder deleted before start",
       {"Unable to locate an Orvella(n)!"}, false, "log dropped, the run goes on; exit status non-zero",
       nullptr, [](const fs::path&) { return std::string(kRemoveFolder) + "--console --simulate=none"; }},

      {"console_card_image_into_unit", Flow::kInput, Link::kConsole,
       "ZSLOT FILE= naming a ZT-HD image (a card with no run of its own)",
       {"this program can only write it to the Orvella(n) main unit"}, false,
       "refused before anything is sent, not programmed into the unit's PROM; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         return "ZSLOT --console --simulate=zthd --yes FILE=" + HeaderImage(f, "ZTHD0102NC.BIN", 96, 4096, 4096);
       }},
      {"console_image_contents_disagree", Flow::kInput, Link::kConsole,
       "FILE= named for the main unit holding a ZM-DIG image", {"but its contents are for a ZM-DIG module"}, false,
       "refused before anything is sent; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         return "--console --simulate --yes FILE=" + HeaderImage(f, "NBT0111ANC.BIN", 2, 4096, 4096);
       }},
      {"console_image_cut_short", Flow::kInput, Link::kConsole, "FILE= holding less than its header announces",
       {"announces 3026032 bytes but holds 100000"}, false, "refused before anything is sent; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         return "--console --simulate --yes FILE=" + HeaderImage(f, "NBT0111ANC.BIN", 96, 3026032, 100000);
       }},
      {"console_image_too_large", Flow::kInput, Link::kConsole, "FILE= naming 64 MiB of zeros",
       {"more than a Orvella(n) main unit can hold"}, false, "refused before anything is sent; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         std::ofstream(f / "NBT0111ANC.BIN").close();
         fs::resize_file(f / "NBT0111ANC.BIN", 64u << 20);
         return "--console --simulate --yes FILE=" + (f / "NBT0111ANC.BIN").string();
       }},
      {"console_compressed_file_damaged", Flow::kInput, Link::kConsole, "FILE= naming an SZDD file cut short",
       {"Unable to expand file"}, false, "refused before anything is sent; exit status non-zero",
       nullptr,
       [](const fs::path& f) {
         // The header promises 4096 bytes; the data end after the header.
         const char header[14] = {'S', 'Z', 'D', 'D', '\x88', '\xF0', '\x27', '\x33', 'A', 0, 0, 0x10, 0, 0};
         std::ofstream(f / "NBT0111ANC.BIN", std::ios::binary) << std::string(header, 14) << "\xFF" << "abcdefgh";
         return "--console --simulate --yes FILE=" + (f / "NBT0111ANC.BIN").string();
       }},
      {"console_serial_given_twice", Flow::kSerial, Link::kConsole, "SN= given twice",
       {"SN= is given more than once"}, false, "refused before any unit is searched; exit status 2",
       nullptr, [](const fs::path&) { return std::string("SN=6018451234 SN=6018451299 --console --simulate"); }},

      // ------------------------------------- the console binary on a network
      {"net_card_silent_mid_verify", Flow::kCard, Link::kNetwork, "the card's link goes silent during the verify",
       {"Wait for Verify Packet Failed!\n  \n  TIMEOUT"}, false,
       "verify TIMEOUT, then the card failure summary; exit status non-zero",
       nullptr, NetworkCardUpdate, kNetworkSilentInVerify},
      {"net_card_wrong_verify_byte", Flow::kCard, Link::kNetwork, "verify packet 2 comes back with a byte changed",
       {"Firmware Verify Failed!"}, false, "compare fails, then the card failure summary; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --fault=verify-byte-changed-at=2"},
      {"net_card_ack_repeated", Flow::kCard, Link::kNetwork, "the card answers packet 3 twice",
       {"Wait for Write Firmware Packet Failed!\n  \n  duplicate reply"}, true,
       "duplicate reply, cancel to the card, partial image said; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --fault=duplicate-ack-at-packet=3", false,
       "The ZI-RERAR card holds a partial image: run the update again."},
      {"net_card_verify_forged", Flow::kCard, Link::kNetwork,
       "the card stores a byte wrong; a forged answer with the image's bytes follows its own, from its address",
       {kCardFailed}, true, "duplicate reply (or, if the forgery comes late, the compare); exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --fault=corrupt-stored-byte=300 --fault=forged-verify-at=2"},
      {"net_card_completion_lost", Flow::kCard, Link::kNetwork, "the link loses every completion command",
       {"sent, not confirmed"}, false, "sent three times, never confirmed; exit status 3",
       nullptr, NetworkCardUpdate, "--lifetime=60 --lose-completions=100", false,
       "SetProgrammingComplete: sent, not confirmed"},
      {"net_card_flood_other_port", Flow::kCard, Link::kNetwork,
       "PGMERR, PAKRDY and garbage from another port of the card's address with every answer; verify packet 2 wrong",
       {"Firmware Verify Failed!"}, false, "the flood is dropped and logged once; the compare decides; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --flood-per-reply=3 --fault=verify-byte-changed-at=2", false,
       "datagrams not from the card's ports are dropped"},
      {"net_unit_verify_error", Flow::kMain, Link::kNetwork, "the unit behind the card fails its own verify (state 7)",
       {"ProgramEEPROM: Unit reported a Verify Error!"}, true, "reported at once; exit status non-zero",
       nullptr, NetworkUnitUpdate, "--lifetime=60 --fault=corrupt-stored-byte=100", false,
       "ProgramEEPROM: Unit reported a Verify Error!"},
      {"net_serial_commit_lost", Flow::kSerial, Link::kNetwork, "the link loses the card's serial-number commit",
       {"sent, not confirmed"}, false, "the commit is never confirmed: sent, not confirmed; exit status 3",
       nullptr, [](const fs::path&) { return std::string("SN=1518400099 ZSLOT --console"); },
       "--lifetime=60 --lose-serial-commits=1", false, "sent, not confirmed"},
      {"net_discovery_finds_nothing", Flow::kInput, Link::kNetwork, "no card answers discovery",
       {"Unable to locate an Orvella(n)!"}, false, "the one-second discovery window ends empty; exit status non-zero",
       nullptr, NetworkCardUpdate, nullptr, false, "Unable to locate an Orvella(n)!"},
      {"net_receive_port_in_use", Flow::kInput, Link::kNetwork, "UDP port 5646 already bound by another program",
       {"Unable to locate an Orvella(n)!"}, false,
       "the network link does not open (logged), no card offered; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60", true, "CDanteIF::Open: port 5646 cannot be bound"},
      {"net_unresolvable_devices_only", Flow::kInput, Link::kNetwork,
       "100 of the maker's devices whose records never resolve, the only card at a multicast address",
       {"Unable to locate an Orvella(n)!"}, false,
       "each resolve ends on its own, side by side: Open ends within the window and one resolve limit; "
       "exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --unresolvable=100 --address=224.0.0.5", false,
       "CDanteIF::ResolveDeviceAddress: Orvella-Unresolvable-100 has no address, dropped\n"},
      {"net_card_address_refused", Flow::kInput, Link::kNetwork,
       "the only card's address record names the limited broadcast address",
       {"Unable to locate an Orvella(n)!"}, false,
       "refused and logged before any datagram goes out; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --address=255.255.255.255", false,
       "CDanteIF::ResolveDeviceAddress: Orvella-ZI-RERAR-1 at 255.255.255.255 refused: the limited broadcast "
       "address\n"},
      {"net_device_name_forges_log_record", Flow::kInput, Link::kNetwork,
       "a device named \"A\\n2099-01-01 EEPROM Success\\n\" at a refused address",
       {"Unable to locate an Orvella(n)!"}, false,
       "the name is logged escaped, no forged record; exit status non-zero",
       nullptr, NetworkCardUpdate, "--lifetime=60 --address=0.1.2.3 --name=A\\n2099-01-01\\x20EEPROM\\x20Success\\n",
       false, "CDanteIF::ResolveDeviceAddress: A\\n2099-01-01 EEPROM Success\\n at 0.1.2.3 refused"},
      {"net_list_full_select_past_it", Flow::kInput, Link::kNetwork,
       "ten cards (twenty entries), a script selects entry 16 of a list of sixteen",
       {"--select=16: there is no entry 16 (the list has 16)"}, false,
       "the log and the window say how many devices the list left out; usage error, nothing programmed",
       nullptr,
       [](const fs::path& folder) { return NetworkCardUpdate(folder) + " --select=16"; },
       "--lifetime=60 --cards=10", false, "4 more devices could not be listed: the list holds 16 entries.\n"},
  };
  return rows;
}

}  // namespace faults
