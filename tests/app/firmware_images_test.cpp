// Firmware image sources: file names, the built-in images, external files,
// loading, and the release-date tables.
#include "app/firmware_images.h"

#include <gtest/gtest.h>
#include <utime.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/core/clock.h"
#include "platform/files/digest.h"
#include "platform/files/files.h"
#include "platform/files/resources.h"
#include "tests/app/working_dir.h"
#include "tests/support/faulty_files.h"
#include "tests/support/private_folder.h"
#include "tests/support/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using platform::ui::Icon;
using test_support::RecordedMessage;
using Bytes = std::vector<uint8_t>;

constexpr const char* kCaption = "Orvella(n) Firmware Update";

platform::ui::DialogTemplate MainWindowFields() {
  platform::ui::DialogTemplate t;
  t.id = 102;
  t.caption = kCaption;
  for (int id : {1006, 1007}) {
    platform::ui::ControlTemplate c;
    c.id = id;
    t.controls.push_back(c);
  }
  return t;
}

struct NoEvents : platform::ui::DialogEvents {
  bool OnInitDialog() override { return true; }
  void OnCommand(int) override {}
};

class FirmwareImages : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_.path() / "tmp";
    fs::create_directory(temp_);
    // Ending in the system's own separator, as the real temporary folder does.
    files_.temp = (temp_ / "").string();
    window_ = host_.CreateDialog(MainWindowFields(), events_, nullptr);
  }

  void WriteFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(dir_.path() / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string PathOf(const std::string& name) const { return (dir_.path() / name).string(); }
  const RecordedMessage& OnlyMessage() const {
    EXPECT_EQ(host_.Messages().size(), 1u);
    static RecordedMessage none;
    return host_.Messages().empty() ? none : host_.Messages().back();
  }
  std::vector<std::string> TempContents() const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(temp_)) names.push_back(e.path().string());
    return names;
  }

  ScopedWorkingDir dir_;
  fs::path temp_;
  test_support::FaultyFiles files_;  // the temporary folder in the test's own
  platform::Override<platform::Files> filesGuard_{files_};
  platform::VirtualClock clock_;  // local time is UTC
  platform::Override<platform::Clock> clockGuard_{clock_};
  test_support::ScriptedHost host_;
  NoEvents events_;
  std::unique_ptr<platform::ui::DialogWindow> window_;
};

// ------------------------------------------------------------ file names

TEST_F(FirmwareImages, FileNamesGiveProductIdAndVersion) {
  struct Case {
    const char* name;
    uint8_t productId;
    uint16_t version;
  } cases[] = {
      {"ztfw102nc.bin", 25, 102},
      {"ZTFW102NC", 25, 102},
      {"NBT0110ANC.BIN", 96, 110},
      {"ZTUSB10V00.BIN", 50, 1000},
      {"ZMDIG0100NC.BIN", 2, 100},
      {"ZTDNT0102NC.BIN", 21, 102},
      {"ZTMA7", 19, 7},
      {"zthd12", 24, 12},
      {"ZTUSB2X03", 50, 203},
      {"ZTFWNC.BIN", 25, 0},
      {"ZTFW", 25, 0},
      {"NBT0", 96, 0},
      {"ZTUS", 50, 0},
      {"ZTFW65537", 25, 1},  // kept to 16 bits
  };
  CFirmwareImages images;
  for (const Case& c : cases) {
    uint8_t id = 0;
    uint16_t version = 0;
    EXPECT_TRUE(images.ParseFirmwareFileName(c.name, window_.get(), &id, &version)) << c.name;
    EXPECT_EQ(id, c.productId) << c.name;
    EXPECT_EQ(version, c.version) << c.name;
  }
  EXPECT_TRUE(host_.Messages().empty());
}

TEST_F(FirmwareImages, UnknownTagsShowTheMessageAndGiveNoIds) {
  CFirmwareImages images;
  for (const char* name : {"ABCD1234.BIN", "", "ZTF", "ZTFX102", "NBT1110"}) {
    uint8_t id = 0;
    uint16_t version = 0;
    EXPECT_FALSE(images.ParseFirmwareFileName(name, window_.get(), &id, &version)) << name;
    EXPECT_EQ(id, 0xFF);
    EXPECT_EQ(version, 0xFFFF);
  }
  ASSERT_EQ(host_.Messages().size(), 5u);
  const RecordedMessage& m = host_.Messages()[0];
  EXPECT_EQ(m.text, "Unable to determine DeviceID from File Name");
  EXPECT_EQ(m.caption, std::optional<std::string>(kCaption));
  EXPECT_EQ(m.icon, Icon::None);
  EXPECT_EQ(m.ownerTemplate, 102);
}

// ------------------------------------------------------------ built-in images

TEST_F(FirmwareImages, BuiltInImagesAreListedInResourceOrderAndChosenByProduct) {
  CFirmwareImages images;
  images.EnumerateEmbeddedImages();
  ASSERT_EQ(images.m_nImageTableCount, 4);
  EXPECT_STREQ(images.m_ImageTable[0], "NBT0110ANC.BIN");
  EXPECT_STREQ(images.m_ImageTable[1], "ZMDIG0100NC.BIN");
  EXPECT_STREQ(images.m_ImageTable[2], "ZTDNT0102NC.BIN");
  EXPECT_STREQ(images.m_ImageTable[3], "ZTUSB10V00.BIN");

  struct Case {
    uint8_t productId;
    const char* name;
    uint16_t version;
  } cases[] = {{96, "NBT0110ANC.BIN", 110},
               {2, "ZMDIG0100NC.BIN", 100},
               {21, "ZTDNT0102NC.BIN", 102},
               {50, "ZTUSB10V00.BIN", 1000}};
  for (const Case& c : cases) {
    EXPECT_TRUE(images.FindEmbeddedImage(c.productId));
    EXPECT_STREQ(images.m_szImageName, c.name);
    EXPECT_EQ(images.m_nImageDeviceId, c.productId);
    EXPECT_EQ(images.m_nImageMajor, c.version);
  }
  EXPECT_NE(dir_.Log().find("Selecting ZTUSB10V00.BIN Firmware\n"), std::string::npos);

  // No ZT-HD image: everything reads "none".
  EXPECT_FALSE(images.FindEmbeddedImage(24));
  EXPECT_STREQ(images.m_szImageName, "");
  EXPECT_EQ(images.m_nImageDeviceId, 0xFF);
  EXPECT_EQ(images.m_nImageMajor, 0xFFFF);
}

TEST_F(FirmwareImages, VezerVersionFiveIsNeverChosen) {
  const uint8_t data[1] = {0};
  const platform::ResourceEntry onlyFive[] = {{"ZTUSBV05.BIN", data, 1, 0, 0}};
  const platform::ResourceEntry fiveAndSeven[] = {{"ZTUSBV05.BIN", data, 1, 0, 0}, {"ZTUSBV07.BIN", data, 1, 0, 0}};
  CFirmwareImages images;
  {
    platform::TableResources table(onlyFive, 1);
    platform::Override<platform::Resources> guard(table);
    images.EnumerateEmbeddedImages();
    EXPECT_FALSE(images.FindEmbeddedImage(50));
    EXPECT_STREQ(images.m_szImageName, "");
    EXPECT_EQ(images.m_nImageMajor, 0xFFFF);
  }
  platform::TableResources table(fiveAndSeven, 2);
  platform::Override<platform::Resources> guard(table);
  images.EnumerateEmbeddedImages();
  EXPECT_TRUE(images.FindEmbeddedImage(50));
  EXPECT_STREQ(images.m_szImageName, "ZTUSBV07.BIN");
  EXPECT_EQ(images.m_nImageMajor, 7);
}

TEST_F(FirmwareImages, TheTableTakesSixteenNamesThatFitWhole) {
  const uint8_t data[1] = {0};
  std::vector<std::string> names;
  for (int i = 0; i < 18; ++i) names.push_back("ZTFW" + std::to_string(100 + i) + ".BIN");
  names.push_back("ZTFW1" + std::string(40, 'X') + ".BIN");  // too long for a slot
  std::vector<platform::ResourceEntry> entries;
  for (const std::string& n : names) entries.push_back({n.c_str(), data, 1, 0, 0});
  platform::TableResources table(entries.data(), entries.size());
  platform::Override<platform::Resources> guard(table);

  CFirmwareImages images;
  images.EnumerateEmbeddedImages();
  ASSERT_EQ(images.m_nImageTableCount, 16);
  EXPECT_STREQ(images.m_ImageTable[15], "ZTFW115.BIN");
  for (int i = 0; i < 16; ++i) EXPECT_LT(std::strlen(images.m_ImageTable[i]), 32u);
}

class BuiltInImage : public FirmwareImages,
                     public ::testing::WithParamInterface<std::tuple<const char*, uint8_t, uint16_t, uint32_t>> {};

TEST_P(BuiltInImage, LoadsExactlyAsBuiltAndLeavesNothingInTheTemporaryFolder) {
  auto [name, productId, version, size] = GetParam();
  {
    CFirmwareImages images;
    std::strcpy(images.m_szImageName, name);
    ASSERT_TRUE(images.LoadFirmwareImage(window_.get()));
    EXPECT_TRUE(host_.Messages().empty());
    EXPECT_EQ(images.m_nImageSize, size);
    EXPECT_EQ(images.m_nImageDeviceId, productId);
    EXPECT_EQ(images.m_nImageMajor, version / 100);
    EXPECT_EQ(images.m_nImageMinor, version % 100);

    // Content: the header names the image; records carry their offsets.
    const uint8_t* image = images.m_pImage;
    EXPECT_EQ(std::memcmp(image, "OVFWIMG", 8), 0);
    EXPECT_EQ(image[8], productId);
    EXPECT_EQ(image[10] | image[11] << 8, version);
    EXPECT_EQ(image[12] | image[13] << 8 | image[14] << 16 | uint32_t{image[15]} << 24, size);
    EXPECT_STREQ(reinterpret_cast<const char*>(image + 16), name);
    EXPECT_EQ(image[256] | image[257] << 8 | image[258] << 16, 256);
    const platform::ResourceEntry* entry = platform::Use<platform::Resources>().Find(name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(platform::Digest(image, size), entry->expandedDigest);
    // The buffer runs 1024 zero bytes past the image.
    for (uint32_t i = size; i < size + 1024; ++i) ASSERT_EQ(image[i], 0) << i;

    // Only the run's empty private folder is left while the run goes on.
    std::vector<std::string> left = TempContents();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ((fs::path(left[0]) / "").string(), images.RunFolder());
    EXPECT_TRUE(test_support::OnlyTheUserMayEnter(images.RunFolder()));
  }
  EXPECT_TRUE(TempContents().empty());
}

INSTANTIATE_TEST_SUITE_P(All, BuiltInImage,
                         ::testing::Values(std::make_tuple("ZMDIG0100NC.BIN", uint8_t{2}, uint16_t{100}, 341712u),
                                           std::make_tuple("ZTDNT0102NC.BIN", uint8_t{21}, uint16_t{102}, 340884u),
                                           std::make_tuple("ZTUSB10V00.BIN", uint8_t{50}, uint16_t{1000}, 49408u),
                                           std::make_tuple("NBT0110ANC.BIN", uint8_t{96}, uint16_t{110}, 3026032u)));

TEST_F(FirmwareImages, ExpansionLeavesOnlyTheExpandedFile) {
  CFirmwareImages images;
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(images.ExtractEmbeddedImage("ZTUSB10V00.BIN", window_.get(), &bytes, &size));
  char expanded[260] = {};
  ASSERT_TRUE(images.ExpandEmbeddedImage(bytes, size, "ZTUSB10V00.BIN", window_.get(), expanded));
  EXPECT_EQ(std::string(expanded), images.RunFolder() + "ZTUSB10V00.BIN");
  EXPECT_EQ(fs::file_size(expanded), 49408u);
  EXPECT_FALSE(fs::exists(images.RunFolder() + "ZTUSB10V00.BI_"));
  EXPECT_EQ(TempContents().size(), 2u);  // the folder and the expanded file
}

TEST_F(FirmwareImages, AMissingResourceIsReported) {
  CFirmwareImages images;
  std::strcpy(images.m_szImageName, "ZTHD0100NC.BIN");
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Cannot Find Resource");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>("ZTHD0100NC.BIN"));
  EXPECT_EQ(OnlyMessage().icon, Icon::Exclamation);
  EXPECT_EQ(images.m_pImage, nullptr);
}

// A copy of the real ZTUSB10V00.BIN resource, damaged in the given way.
struct Damage {
  const char* what;
  std::function<void(Bytes&, platform::ResourceEntry&)> apply;
  bool atExpansion;  // else when the source is opened
  const char* caption;
};

class DamagedResource : public FirmwareImages, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedResource, IsRefusedAndNothingIsLoaded) {
  const platform::ResourceEntry* real = platform::Use<platform::Resources>().Find("ZTUSB10V00.BIN");
  if (!real) {
    CFirmwareImages registers;  // the first CFirmwareImages registers the built-in table
    real = platform::Use<platform::Resources>().Find("ZTUSB10V00.BIN");
  }
  ASSERT_NE(real, nullptr);
  Bytes data(real->data, real->data + real->size);
  platform::ResourceEntry entry = *real;
  GetParam().apply(data, entry);
  entry.data = data.data();
  entry.size = static_cast<uint32_t>(data.size());
  platform::TableResources table(&entry, 1);
  platform::Override<platform::Resources> guard(table);

  CFirmwareImages images;
  std::strcpy(images.m_szImageName, "ZTUSB10V00.BIN");
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(images.m_pImage, nullptr);
  const RecordedMessage& m = OnlyMessage();
  const std::string expandedPath = images.RunFolder() + "ZTUSB10V00.BIN";
  EXPECT_EQ(m.text, GetParam().atExpansion ? "Unable to expand file '" + expandedPath + "'!"
                                           : "Unable to open source file '" + images.RunFolder() + "ZTUSB10V00.BI_'!");
  EXPECT_EQ(m.caption, std::optional<std::string>(GetParam().caption));
  EXPECT_EQ(m.icon, Icon::Exclamation);
  // A damaged expansion is not left behind.
  EXPECT_FALSE(fs::exists(expandedPath));
}

INSTANTIATE_TEST_SUITE_P(
    All, DamagedResource,
    ::testing::Values(
        Damage{"one byte flipped in the data", [](Bytes& b, platform::ResourceEntry&) { b[b.size() / 2] ^= 0x5A; },
               true, "File Copy Failure! [-3]"},
        Damage{"cut short", [](Bytes& b, platform::ResourceEntry&) { b.resize(b.size() - 100); }, true,
               "File Copy Failure! [-3]"},
        Damage{"longer than its header says",
               [](Bytes& b, platform::ResourceEntry&) {
                 b.insert(b.end(), {0xFF, 'A', 'B', 'C'});
               },
               true, "File Copy Failure! [-3]"},
        Damage{"header length changed", [](Bytes& b, platform::ResourceEntry&) { b[10] ^= 1; }, true,
               "File Copy Failure! [-3]"},
        Damage{"expands to other bytes than were built",
               [](Bytes&, platform::ResourceEntry& e) { e.expandedDigest ^= 1; }, true, "File Copy Failure! [-3]"},
        Damage{"not SZDD", [](Bytes& b, platform::ResourceEntry&) { b[0] = 'X'; }, false, "File Open Failure! [-1]"}),
    [](const auto& info) {
      std::string n = info.param.what;
      for (char& c : n) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return n;
    });

TEST_F(FirmwareImages, AShortWriteOfTheCompressedFileIsAFailure) {
  files_.writeLimit = 1000;
  CFirmwareImages images;
  std::strcpy(images.m_szImageName, "ZTUSB10V00.BIN");
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Unable to write compressed file '" + images.RunFolder() + "ZTUSB10V00.BI_'!");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>("Write File Failure! [0000001c]"));
  EXPECT_EQ(images.m_pImage, nullptr);
}

TEST_F(FirmwareImages, AnUnusableTemporaryFolderIsReported) {
  // The code is the system's own for a file in a folder that does not
  // exist: ENOENT here, ERROR_PATH_NOT_FOUND (3) on Windows.
  platform::SystemFiles probe;
  EXPECT_EQ(probe.Create(PathOf("absent/probe")), nullptr);
  const uint32_t missingFolder = probe.LastError();
  ASSERT_NE(missingFolder, 0u);
  char caption[64];
  std::snprintf(caption, sizeof caption, "Create File Failure! [%08x]", static_cast<unsigned>(missingFolder));

  files_.temp = (fs::path(PathOf("absent")) / "").string();
  CFirmwareImages images;
  std::strcpy(images.m_szImageName, "ZTUSB10V00.BIN");
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Unable to create compressed file '" + files_.temp + "ZTUSB10V00.BI_'!");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>(caption));
}

TEST_F(FirmwareImages, AShortReadOfTheImageIsAFailure) {
  files_.readLimit = 100;
  WriteFile("ZTFW102NC.BIN", Bytes(500, 7));
  CFirmwareImages images;
  images.m_bExternalFile = true;
  std::strcpy(images.m_szImageName, PathOf("ZTFW102NC.BIN").c_str());
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Unable to read Firmware into Memory!");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>(kCaption));
  EXPECT_EQ(images.m_pImage, nullptr);
  EXPECT_TRUE(fs::exists(PathOf("ZTFW102NC.BIN")));
}

// ------------------------------------------------------------ external files

TEST_F(FirmwareImages, AnExternalFileShowsItsVersionAndDateAndLoadsPadded) {
  WriteFile("ZTFW102NC.BIN", Bytes{1, 2, 3, 4, 5});
  const int64_t nov5 = 1541419200;  // 2018-11-05 12:00 UTC
  struct utimbuf times {
    nov5, nov5
  };
  ASSERT_EQ(::utime(PathOf("ZTFW102NC.BIN").c_str(), &times), 0);

  CFirmwareImages images;
  images.SelectNewFirmware(PathOf("ZTFW102NC.BIN").c_str(), window_.get());
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_TRUE(images.m_bExternalFile);
  EXPECT_EQ(std::string(images.m_szImageName), PathOf("ZTFW102NC.BIN"));
  EXPECT_EQ(images.m_nImageDeviceId, 25);
  EXPECT_EQ(images.m_nImageMajor, 1);
  EXPECT_EQ(images.m_nImageMinor, 2);
  EXPECT_EQ(window_->GetText(1006), "1.2");
  EXPECT_EQ(window_->GetText(1007), "Nov 05, 2018");
  EXPECT_NE(dir_.Log().find("SelectNewFirmware " + PathOf("ZTFW102NC.BIN") + "\n"), std::string::npos);

  ASSERT_TRUE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(images.m_nImageSize, 5u);
  EXPECT_EQ(Bytes(images.m_pImage, images.m_pImage + 5), (Bytes{1, 2, 3, 4, 5}));
  for (int i = 5; i < 5 + 1024; ++i) ASSERT_EQ(images.m_pImage[i], 0);
  EXPECT_TRUE(fs::exists(PathOf("ZTFW102NC.BIN")));  // never deleted
  images.FreeImage();
  EXPECT_EQ(images.m_pImage, nullptr);
}

TEST_F(FirmwareImages, AMissingExternalFileRevertsToTheBuiltInImages) {
  CFirmwareImages images;
  images.SelectNewFirmware(PathOf("ZTFW102NC.BIN").c_str(), window_.get());
  const std::string text = "Unable to open file '" + PathOf("ZTFW102NC.BIN") +
                           "' specified on the command line!\n\nReverting to default firmware.\n";
  EXPECT_EQ(OnlyMessage().text, text);
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>(kCaption));
  EXPECT_EQ(OnlyMessage().icon, Icon::None);
  EXPECT_NE(dir_.Log().find(text), std::string::npos);
  EXPECT_FALSE(images.m_bExternalFile);
  EXPECT_STREQ(images.m_szImageName, "");

  // The built-in images apply again.
  images.EnumerateEmbeddedImages();
  EXPECT_TRUE(images.FindEmbeddedImage(96));
  EXPECT_STREQ(images.m_szImageName, "NBT0110ANC.BIN");
}

TEST_F(FirmwareImages, ADroppedFileThatCannotBeOpenedKeepsTheImageShown) {
  CFirmwareImages images;
  images.EnumerateEmbeddedImages();
  images.FindEmbeddedImage(21);
  images.OnDropFiles({PathOf("ZTFW102NC.BIN")}, window_.get());
  EXPECT_FALSE(images.m_bExternalFile);
  EXPECT_STREQ(images.m_szImageName, "ZTDNT0102NC.BIN");
  EXPECT_EQ(images.m_nImageDeviceId, 21);
  EXPECT_EQ(images.m_nImageMajor, 102);
}

TEST_F(FirmwareImages, ADroppedSetTakesTheFirstFileOnly) {
  WriteFile("ZTMA3.BIN", Bytes(10, 1));
  WriteFile("ZTHD4.BIN", Bytes(10, 1));
  CFirmwareImages images;
  images.OnDropFiles({PathOf("ZTMA3.BIN"), PathOf("ZTHD4.BIN")}, window_.get());
  EXPECT_EQ(std::string(images.m_szImageName), PathOf("ZTMA3.BIN"));
  EXPECT_EQ(images.m_nImageDeviceId, 19);
  EXPECT_NE(dir_.Log().find("OnDropFiles: " + PathOf("ZTMA3.BIN") + "\n"), std::string::npos);
  EXPECT_EQ(dir_.Log().find("ZTHD4"), std::string::npos);
  images.OnDropFiles({}, window_.get());
  EXPECT_EQ(std::string(images.m_szImageName), PathOf("ZTMA3.BIN"));
}

TEST_F(FirmwareImages, AnExternalNameWithoutATagLeavesNoVersion) {
  WriteFile("FIRMWARE.BIN", Bytes(10, 1));
  CFirmwareImages images;
  images.SelectNewFirmware(PathOf("FIRMWARE.BIN").c_str(), window_.get());
  EXPECT_EQ(OnlyMessage().text, "Unable to determine DeviceID from File Name");
  EXPECT_TRUE(images.m_bExternalFile);
  EXPECT_EQ(images.m_nImageMajor, 0xFFFF);
  EXPECT_EQ(window_->GetText(1006), "");
}

TEST_F(FirmwareImages, APathLongerThanTheReferenceIsRefusedNotCut) {
  // Cut to 259 characters, the longer path would name this other file.
  const std::string prefix = PathOf("ZTFW1");
  const std::string cutName = "ZTFW1" + std::string(259 - prefix.size(), 'A');
  WriteFile(cutName, Bytes(10, 1));
  const std::string longPath = PathOf(cutName) + ".BIN";
  ASSERT_EQ(PathOf(cutName).size(), 259u);

  CFirmwareImages images;
  images.EnumerateEmbeddedImages();
  images.FindEmbeddedImage(96);
  images.SelectNewFirmware(longPath.c_str(), window_.get());
  EXPECT_EQ(OnlyMessage().text, "Unable to use file '" + longPath + "': its path is longer than 259 characters!");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>(kCaption));
  EXPECT_FALSE(images.m_bExternalFile);
  EXPECT_STREQ(images.m_szImageName, "NBT0110ANC.BIN");
  EXPECT_EQ(images.m_nImageMajor, 110);
}

TEST_F(FirmwareImages, AnEmptyExternalFileIsRefusedAndKept) {
  WriteFile("NBT0120ANC.BIN", {});
  CFirmwareImages images;
  images.SelectNewFirmware(PathOf("NBT0120ANC.BIN").c_str(), window_.get());
  ASSERT_TRUE(images.m_bExternalFile);
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Unable to get Firmware file size!");
  EXPECT_EQ(OnlyMessage().caption, std::nullopt);
  EXPECT_EQ(OnlyMessage().icon, Icon::Exclamation);
  EXPECT_TRUE(fs::exists(PathOf("NBT0120ANC.BIN")));
  EXPECT_EQ(images.m_pImage, nullptr);
}

TEST_F(FirmwareImages, AnExternalFileGoneBeforeTheUpdateIsReported) {
  WriteFile("NBT0120ANC.BIN", Bytes(10, 1));
  CFirmwareImages images;
  images.SelectNewFirmware(PathOf("NBT0120ANC.BIN").c_str(), window_.get());
  fs::remove(PathOf("NBT0120ANC.BIN"));
  EXPECT_FALSE(images.LoadFirmwareImage(window_.get()));
  EXPECT_EQ(OnlyMessage().text, "Unable to open file '" + PathOf("NBT0120ANC.BIN") + "'!");
  EXPECT_EQ(OnlyMessage().caption, std::optional<std::string>("CreateFile Failure! [00000002]"));
}

// ------------------------------------------------------------ dates

TEST_F(FirmwareImages, ReleaseDatesComeFromTheProductTables) {
  struct Case {
    uint8_t productId, major;
    const char* date;  // null: left untouched
  } cases[] = {
      {96, 0, "Jan 01, 2017"},  {96, 1, "Nov 02, 2018"}, {38, 1, "Nov 02, 2018"}, {96, 10, "Jan 01, 2018"},
      {96, 11, nullptr},        {96, 63, nullptr},       {21, 0, "Feb 07, 2017"}, {21, 1, "Feb 14, 2017"},
      {21, 10, "Jan 01, 2017"}, {50, 4, "Jan 01, 2011"}, {50, 5, "Jul 10, 2011"}, {50, 10, "Sep 24, 2012"},
      {50, 19, "Jan 01, 2015"}, {50, 20, nullptr},       {50, 63, nullptr},       {2, 0, "Oct 17, 2017"},
      {2, 1, "Nov 06, 2017"},   {2, 4, "Jan 01, 2018"},  {2, 5, nullptr},         {24, 0, nullptr},
  };
  const int64_t untouched = 123456789;
  for (const Case& c : cases) {
    int64_t when = untouched;
    LookupFirmwareDate(c.major, &when, c.productId, true, nullptr);
    if (c.date) {
      EXPECT_EQ(FormatDate(when), c.date) << int{c.productId} << "/" << int{c.major};
      EXPECT_EQ(when % 86400, 0);  // midnight (local time is UTC here)
    } else {
      EXPECT_EQ(when, untouched) << int{c.productId} << "/" << int{c.major};
    }
  }
  EXPECT_EQ(FormatDate(0), "Jan 01, 1970");
}

TEST_F(FirmwareImages, TheUnitDateWordGivesItsDate) {
  int64_t when = 0;
  // Day 2, year bits 1 and 2 (2000 + 16 + 2), month 11.
  ASSERT_TRUE(FirmwareDateFromWord(2 | 1 << 5 | 11 << 8 | 2 << 12, &when));
  EXPECT_EQ(FormatDate(when), "Nov 02, 2018");
  when = 42;
  EXPECT_FALSE(FirmwareDateFromWord(2 | 0 << 8, &when));   // month 0
  EXPECT_FALSE(FirmwareDateFromWord(0 | 5 << 8, &when));   // day 0
  EXPECT_FALSE(FirmwareDateFromWord(3 | 13 << 8, &when));  // month 13
  EXPECT_EQ(when, 42);
}

TEST(FirmwareDates, MidnightIsLocalMidnightAcrossDaylightSavingChanges) {
  const char* saved = std::getenv("TZ");
  std::string keep = saved ? saved : "";
  ::setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  ::tzset();
  platform::SystemClock clock;
  platform::Override<platform::Clock> guard(clock);
  for (auto [y, m, d] : {std::tuple{2018, 3, 11}, {2018, 3, 12}, {2018, 11, 4}, {2018, 11, 5}, {2017, 1, 1}}) {
    int64_t when = 0;
    ASSERT_TRUE(LocalMidnight(y, m, d, &when));
    platform::LocalTime t = clock.ToLocal(when);
    EXPECT_EQ(std::make_tuple(t.year, t.month, t.day, t.hour, t.minute), std::make_tuple(y, m, d, 0, 0));
  }
  if (saved) {
    ::setenv("TZ", keep.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
