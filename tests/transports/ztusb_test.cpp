// The VE-ZER card updater against the simulated driver library: finding
// the library, binding it, opening the card, the DFU download, and the
// engine's use of it (creation, loss, sample rate).
#include "transports/ztusb.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/dynamic_library.h"
#include "platform/core/program_files.h"
#include "protocol/orvella_remote.h"
#include "sim/scenarios/scenarios.h"
#include "sim/vezer/install/vezer_install.h"
#include "tests/app/working_dir.h"
#include "tests/support/scripted_host.h"

namespace {

using platform::ui::Icon;
using sim::VezerDriverFolder;
using sim::VezerLibrary;

const char* const kDriverSwitches[] = {"REFLASH_VEZER_DEVICES", "REFLASH_VEZER_RATE", "REFLASH_VEZER_FAULTS",
                                       "REFLASH_VEZER_IMAGE_OUT"};

class ProgressRecorder : public CZTUSBProgress {
 public:
  void SetRange(int low, int high) override { ranges.emplace_back(low, high); }
  void SetPos(int pos) override { positions.push_back(pos); }
  std::vector<std::pair<int, int>> ranges;
  std::vector<int> positions;
};

class ZtusbTest : public ::testing::Test {
 protected:
  ZtusbTest() : clockGuard_(clock_) {
    for (const char* name : kDriverSwitches) unsetenv(name);
  }
  ~ZtusbTest() override {
    for (const char* name : kDriverSwitches) unsetenv(name);
  }

  // Puts a program-files folder with the library at `row` in force.
  void Install(int row, VezerLibrary library = VezerLibrary::kComplete) {
    driver_ = std::make_unique<VezerDriverFolder>(row, library);
    ASSERT_TRUE(driver_->Ready()) << driver_->Error();
    folderGuard_.reset();
    folderGuard_ = std::make_unique<platform::Override<platform::ProgramFiles>>(driver_->Service());
  }

  std::string Log() const { return dir_.Log(); }
  bool Logged(const std::string& line) const { return Log().find(" " + line) != std::string::npos; }

  ScopedWorkingDir dir_;
  platform::VirtualClock clock_;
  platform::Override<platform::Clock> clockGuard_;
  test_support::ScriptedHost host_;
  std::unique_ptr<VezerDriverFolder> driver_;
  std::unique_ptr<platform::Override<platform::ProgramFiles>> folderGuard_;
};

// ---------------------------------------------------------------- finding

// Where candidate `row` is looked for below `folder`, written as the card
// updater names it on Windows and mapped as this system maps library
// names. The third keeps its doubled separator before the file name.
std::string CandidatePath(const std::string& folder, int row) {
  static const char* const kWindowsNames[] = {
      "\\Zelk Acoustics\\VE-ZER Audio Driver\\tusbaudioapi.dll",
      "\\Zelk Acoustics\\VE-ZER Audio Driver\\ztusbaudapi.dll",
      "\\Tervik\\Signalport 4x4 Driver\\\\tervikaudapi.dll",
      "\\Zelk Acoustics\\Vinto USB Audio Driver\\VintoUSBapi.dll",
  };
  return platform::SharedLibraryName(folder + kWindowsNames[row]);
}

TEST_F(ZtusbTest, EachCandidateBeforeTheInstalledOneIsReportedMissing) {
  static_assert(VezerDriverFolder::kCandidates == 4);
  for (int row = 0; row < VezerDriverFolder::kCandidates; ++row) {
    SCOPED_TRACE(row);
    Install(row);
    const std::string folder = driver_->Folder();
    {
      CZTUSB usb;
      ASSERT_TRUE(usb.Open(0));
    }
    const std::string log = Log();
    size_t at = 0;
    for (int missing = 0; missing < row; ++missing) {
      const std::string path = CandidatePath(folder, missing);
      at = log.find(" VE-ZER: Unable to locate [" + path + "]!\n", at);
      ASSERT_NE(at, std::string::npos) << path << "\n" << log;
    }
    const std::string opened = " VE-ZER: Opened [" + CandidatePath(folder, row) + "]\n";
    ASSERT_NE(log.find(opened, at), std::string::npos) << log;
    EXPECT_EQ(log.find("Unable to locate [" + CandidatePath(folder, row)), std::string::npos);
    driver_.reset();
    std::ofstream(dir_.path() / "OrvellaReflash.log", std::ios::trunc).close();
    CloseLog();
  }
}

TEST_F(ZtusbTest, OpenLogsTheDriverAndTheCard) {
  Install(0);
  CZTUSB usb;
  ASSERT_TRUE(usb.Open(0));
  EXPECT_TRUE(Logged("APIVERSION 00040023\n")) << Log();
  EXPECT_TRUE(Logged("Driver 4.35.2\n")) << Log();
  EXPECT_TRUE(Logged("Found VE-ZER [Zelk Acoustics] [VE-ZER] [VZ000001]\n")) << Log();
  EXPECT_NE(usb.DeviceHandle(), 0u);
  EXPECT_EQ(usb.m_dwUsbDeviceIndex, 0u);
  EXPECT_TRUE(host_.Messages().empty());
}

TEST_F(ZtusbTest, NoLibraryAnywhereFailsAfterFourCandidates) {
  Install(-1);
  CZTUSB usb;
  EXPECT_FALSE(usb.Open(0));
  size_t lines = 0;
  for (size_t at = Log().find("VE-ZER: Unable to locate ["); at != std::string::npos;
       at = Log().find("VE-ZER: Unable to locate [", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(lines, 4u) << Log();
  EXPECT_FALSE(Logged("VE-ZER: Opened")) << Log();
  EXPECT_EQ(usb.m_hLibrary, nullptr);
}

TEST_F(ZtusbTest, AMissingEntryPointFailsOpenNamingIt) {
  Install(0, VezerLibrary::kWithoutDfuUpload);
  CZTUSB usb;
  EXPECT_FALSE(usb.Open(0));
  ASSERT_EQ(host_.Messages().size(), 1u);
  const auto& box = host_.Messages()[0];
  EXPECT_EQ(box.text, "GetProcAddress failed");
  EXPECT_EQ(box.caption, "TUSBAUDIO_StartDfuUpload");
  EXPECT_EQ(box.ownerTemplate, 0);
  EXPECT_EQ(box.buttons, platform::ui::Buttons::Ok);
  // The version was logged before the binding stopped; no device was opened.
  EXPECT_TRUE(Logged("APIVERSION 00040023\n"));
  EXPECT_EQ(usb.DeviceHandle(), 0u);
  usb.Release();
  EXPECT_EQ(usb.m_pStartDfuDownload, nullptr);
  EXPECT_EQ(usb.m_hLibrary, nullptr);
}

TEST_F(ZtusbTest, MissingCustomIniIsShownAndOpenGoesOn) {
  Install(0);
  setenv("REFLASH_VEZER_FAULTS", "no-custom-ini", 1);
  CZTUSB usb;
  EXPECT_TRUE(usb.Open(0));
  const auto* box = host_.FindMessage("Unable to locate \"custom.ini\" file!");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->caption, "VE-ZER");
  EXPECT_EQ(box->ownerTemplate, 0);
  EXPECT_TRUE(Logged("CZTUSB::Open Failure! Unable to locate CUSTOM.INI file!\n"));
  EXPECT_TRUE(Logged("Found VE-ZER ["));
}

TEST_F(ZtusbTest, TheIndexMustBeBelowTheDeviceCount) {
  Install(0);
  struct Case {
    const char* devices;
    uint32_t index;
    bool opens;
  };
  const Case cases[] = {{"2", 2, false}, {"2", 1, true}, {"2", 0, true}, {"0", 0, false}, {"1", 5, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.devices) + " devices, index " + std::to_string(c.index));
    setenv("REFLASH_VEZER_DEVICES", c.devices, 1);
    std::ofstream(dir_.path() / "OrvellaReflash.log", std::ios::trunc).close();
    CloseLog();
    CZTUSB usb;
    EXPECT_EQ(usb.Open(c.index), c.opens);
    EXPECT_EQ(Logged("CZTUSB::Open Failure! No Devices Found!\n"), !c.opens) << Log();
    EXPECT_EQ(usb.m_dwUsbDeviceIndex, c.opens ? c.index : 0xFFFFFFFFu);
  }
}

TEST_F(ZtusbTest, ReleaseForgetsEverythingAndMayRepeat) {
  Install(0);
  CZTUSB usb;
  ASSERT_TRUE(usb.Open(0));
  EXPECT_TRUE(usb.Release());
  EXPECT_TRUE(usb.Release());
  EXPECT_EQ(usb.DeviceHandle(), 0u);
  EXPECT_EQ(usb.m_hLibrary, nullptr);
  EXPECT_EQ(usb.m_pGetApiVersion, nullptr);
  EXPECT_EQ(usb.m_pStatusCodeStringA, nullptr);
  // Nothing to program with: a clean failure, not a call through null.
  const uint8_t image[4] = {1, 2, 3, 4};
  EXPECT_FALSE(usb.ProgramUsbFirmware(image, sizeof image, nullptr));
}

// --------------------------------------------------------------- download

std::vector<uint8_t> TestImage(size_t size) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  return image;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ZtusbTest, DownloadGoesToTheOpenedIndexWithProgressOverTheImage) {
  Install(0);
  setenv("REFLASH_VEZER_DEVICES", "2", 1);
  const auto card = dir_.path() / "card.bin";
  setenv("REFLASH_VEZER_IMAGE_OUT", card.string().c_str(), 1);
  CZTUSB usb;
  ASSERT_TRUE(usb.Open(1));  // the driver refuses a download to a handle passed as an index
  for (size_t size : {size_t{49408}, size_t{100}}) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> image = TestImage(size);
    ProgressRecorder bar;
    ASSERT_TRUE(usb.ProgramUsbFirmware(image.data(), static_cast<uint32_t>(size), &bar)) << Log();
    ASSERT_EQ(bar.ranges.size(), 1u);
    EXPECT_EQ(bar.ranges[0], std::make_pair(0, static_cast<int>(size)));
    ASSERT_FALSE(bar.positions.empty());
    EXPECT_EQ(bar.positions.back(), static_cast<int>(size));  // full at the end
    for (size_t i = 1; i < bar.positions.size(); ++i) EXPECT_LE(bar.positions[i - 1], bar.positions[i]);
    EXPECT_EQ(ReadAll(card), image);
    EXPECT_TRUE(Logged("ProgramEEPROM VE-ZER " + std::to_string(size) + "\n"));
  }
  EXPECT_GT(host_.Pumps(), 10);  // the window stayed alive during the loop
  EXPECT_TRUE(Logged("ProgramEEPROM VE-ZER Success!\n"));
}

TEST_F(ZtusbTest, FailedStepsReturnFalseWithAStatusLine) {
  struct Case {
    const char* fault;
    const char* statusLine;  // "" when none is expected
  };
  const Case cases[] = {
      {"load-fail", "TSTATUS_NO_FIRMWARE_IMAGE\t\t= 0xE0001004"},
      {"start-fail", "TSTATUS_DFU_FAILED\t\t= 0xE0001010"},
      {"dfu-fail", "TSTATUS_DFU_FAILED\t\t= 0xE0001010"},
      // The driver reported state 6; a clean end of the procedure does not
      // turn that into a success.
      {"dfu-fail-quiet", "TSTATUS_DFU_FAILED\t\t= 0xE0001010"},
      {"dfu-stall", ""},
  };
  Install(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    std::ofstream(dir_.path() / "OrvellaReflash.log", std::ios::trunc).close();
    CloseLog();
    setenv("REFLASH_VEZER_FAULTS", c.fault, 1);
    CZTUSB usb;
    ASSERT_TRUE(usb.Open(0));
    const std::vector<uint8_t> image = TestImage(20000);
    ProgressRecorder bar;
    EXPECT_FALSE(usb.ProgramUsbFirmware(image.data(), 20000, &bar));
    EXPECT_FALSE(Logged("ProgramEEPROM VE-ZER Success!")) << Log();
    if (*c.statusLine) {
      EXPECT_TRUE(Logged(c.statusLine)) << Log();
    }
  }
  EXPECT_TRUE(Logged("CZTUSB::ProgramUsbFirmware: DFU stalled in state 4 at 0 bytes!\n")) << Log();
}

TEST_F(ZtusbTest, StatusCallErrorsAreReportedAndTheDownloadGoesOn) {
  Install(0);
  setenv("REFLASH_VEZER_FAULTS", "status-error", 1);
  CZTUSB usb;
  ASSERT_TRUE(usb.Open(0));
  const std::vector<uint8_t> image = TestImage(9000);
  EXPECT_TRUE(usb.ProgramUsbFirmware(image.data(), 9000, nullptr));
  EXPECT_TRUE(Logged("TSTATUS_DFU_STATUS_UNAVAILABLE\t\t= 0xE0001011")) << Log();
  EXPECT_TRUE(Logged("ProgramEEPROM VE-ZER Success!\n"));
}

// ----------------------------------------------------------------- engine

class ZtusbRemoteTest : public ZtusbTest {
 protected:
  // A unit with a VE-ZER card over MIDI (or behind the host driver), and
  // the driver library installed; the remote opened and the unit selected.
  void Start(bool overDriver = false) {
    scenario_ = std::make_unique<sim::Scenario>("vezer-test", sim::ScenarioOptions{});
    sim::UnitConfig unit;
    unit.card.id = 50;
    unit.card.major = 9;
    unit_ = overDriver ? &scenario_->AddDriverUnit(unit) : &scenario_->AddMidiUnit(unit);
    scenario_->AddVezerDriver();
    scenario_->Install();
    remote_ = std::make_unique<COrvellaRemote>();
    ASSERT_EQ(remote_->Open(), 0);
    ASSERT_EQ(remote_->SelectConnection(0), 0);
  }
  void TearDown() override {
    remote_.reset();
    scenario_.reset();
  }

  std::unique_ptr<sim::Scenario> scenario_;
  sim::UnitModel* unit_ = nullptr;
  std::unique_ptr<COrvellaRemote> remote_;
};

TEST_F(ZtusbRemoteTest, SelectingTheUnitOverMidiOpensTheUpdater) {
  Start();
  ASSERT_NE(remote_->GetCardUpdater(), nullptr);
  EXPECT_EQ(dynamic_cast<CZTUSB&>(*remote_->GetCardUpdater()).m_dwUsbDeviceIndex, 0u);
}

TEST_F(ZtusbRemoteTest, NoUpdaterBehindTheHostDriver) {
  Start(/*overDriver=*/true);
  uint16_t type = 0;
  remote_->GetInterfaceType(&type);
  EXPECT_EQ(type, 2);
  EXPECT_EQ(remote_->GetCardUpdater(), nullptr);
  EXPECT_FALSE(Logged("VE-ZER: Opened"));
}

TEST_F(ZtusbRemoteTest, ALostLinkDeletesTheUpdater) {
  Start();
  ASSERT_NE(remote_->GetCardUpdater(), nullptr);
  remote_->SetPollMode(kPollIdentity);
  unit_->faults().silent = true;
  clock_.Sleep(1500);
  remote_->Poll();
  EXPECT_EQ(remote_->GetCardUpdater(), nullptr);
}

TEST_F(ZtusbRemoteTest, SampleRateGoesToTheCardDriver) {
  Start();
  CCardUpdater* usb = remote_->GetCardUpdater();
  ASSERT_NE(usb, nullptr);
  const uint32_t hertz[] = {44100, 48000, 88200, 96000, 176400, 192000};
  for (uint8_t choice = 0; choice < 6; ++choice) {
    SCOPED_TRACE(static_cast<int>(choice));
    EXPECT_EQ(remote_->SetSampleRate(choice), 0);
    uint32_t rate = 0;
    EXPECT_EQ(usb->GetCurrentSampleRate(&rate), kCardStatusSuccess);
    EXPECT_EQ(rate, hertz[choice]);
    uint8_t back = 0xFF;
    EXPECT_EQ(remote_->GetSampleRate(&back), 0);
    EXPECT_EQ(back, choice);
  }
  EXPECT_EQ(remote_->SetSampleRate(6), 2);

  // A rate without a choice is reported as such and writes nothing.
  EXPECT_EQ(usb->SetSampleRate(32000), kCardStatusSuccess);
  uint8_t untouched = 0xAB;
  EXPECT_EQ(remote_->GetSampleRate(&untouched), 2);
  EXPECT_EQ(untouched, 0xAB);
  EXPECT_TRUE(host_.Messages().empty());
}

// The engine makes its updater only through the transport factory in force:
// one that offers none leaves the card unreachable, and the engine says so
// instead of calling anything; with no factory wired at all it finds no link.
TEST_F(ZtusbRemoteTest, TheUpdaterComesFromTheTransportFactory) {
  Start();
  class NoCardDriver final : public TransportFactory {
   public:
    explicit NoCardDriver(TransportFactory& links) : links_(links) {}
    COrvellaInterface* Create(uint16_t type) override { return links_.Create(type); }

   private:
    TransportFactory& links_;
  } noCard(platform::Use<TransportFactory>());
  remote_.reset();  // the unit's ports are free for another engine
  {
    platform::Override<TransportFactory> use(noCard);
    COrvellaRemote remote;
    ASSERT_EQ(remote.Open(), 0);
    ASSERT_EQ(remote.SelectConnection(0), 0);
    EXPECT_EQ(remote.GetCardUpdater(), nullptr);
    EXPECT_EQ(remote.SetSampleRate(1), 1);
  }

  scenario_.reset();
  COrvellaRemote unwired;
  EXPECT_EQ(unwired.Open(), 1);
  EXPECT_EQ(unwired.SelectConnection(0), 1);
}

TEST_F(ZtusbRemoteTest, ABusyCardRefusesTheRateWithAWarning) {
  Start();
  ASSERT_NE(remote_->GetCardUpdater(), nullptr);
  setenv("REFLASH_VEZER_FAULTS", "stream-active", 1);
  EXPECT_EQ(remote_->SetSampleRate(1), 1);
  const auto* box = host_.FindMessage("Cannot change Sample Rate with Active Devices!");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->caption, "VE-ZER");
  EXPECT_EQ(box->icon, Icon::Warning);
  uint8_t choice = 0xFF;
  EXPECT_EQ(remote_->GetSampleRate(&choice), 0);
  EXPECT_EQ(choice, 1);  // still the 48 kHz the card was enumerated with
}

}  // namespace
