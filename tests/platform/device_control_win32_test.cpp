// Device control over CreateFile/DeviceIoControl: what reaches the system
// (path, access, request codes, buffers and sizes, byte for byte), the
// texts of its failures, and that every handle it opened is closed once.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/devctl/device_io_win32.h"
#include "platform/devctl/z2mixer.h"

namespace {

using platform::DeviceHandle;
using platform::kNoDevice;
using platform::Win32DeviceControl;

// A driver behind the three calls: the paths it publishes open; a control
// request copies the input, records it and writes `answer` into the output.
class FakeDeviceIo final : public platform::DeviceIo {
 public:
  struct Call {
    DWORD code;
    std::vector<uint8_t> in;
    DWORD outSize;
    bool sameBuffer;
  };
  std::set<std::wstring> published = {L"\\\\.\\Z2Mixer1"};
  DWORD openError = ERROR_FILE_NOT_FOUND;
  DWORD access = 0, share = 0, disposition = 0;
  std::vector<Call> calls;
  std::vector<uint8_t> answer;
  DWORD controlError = 0;  // nonzero: the driver refuses the request
  std::multiset<HANDLE> open, closed;

  HANDLE Create(const std::wstring& path, DWORD a, DWORD s, DWORD d) override {
    access = a, share = s, disposition = d;
    if (!published.count(path)) {
      error_ = openError;
      return INVALID_HANDLE_VALUE;
    }
    HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x100 + 4 * next_++));
    open.insert(h);
    return h;
  }
  BOOL Control(HANDLE h, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) override {
    EXPECT_TRUE(open.count(h) && !closed.count(h)) << "a request on a handle not open";
    const uint8_t* bytes = static_cast<const uint8_t*>(in);
    calls.push_back({code, std::vector<uint8_t>(bytes, bytes + inSize), outSize, in == out});
    if (controlError) {
      error_ = controlError;
      return FALSE;
    }
    const DWORD n = std::min<DWORD>(outSize, static_cast<DWORD>(answer.size()));
    if (n) std::memcpy(out, answer.data(), n);
    *returned = n;
    return TRUE;
  }
  BOOL Close(HANDLE h) override {
    closed.insert(h);
    return TRUE;
  }
  DWORD Error() override { return error_; }

 private:
  DWORD error_ = 0;
  int next_ = 0;
};

TEST(Win32DeviceControl, OpensAnExistingDeviceForReadingAndWritingShared) {
  FakeDeviceIo io;
  Win32DeviceControl devices(io);
  EXPECT_NE(devices.OpenDevice("\\\\.\\Z2Mixer1"), kNoDevice);
  EXPECT_EQ(io.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
  EXPECT_EQ(io.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_EQ(io.disposition, static_cast<DWORD>(OPEN_EXISTING)) << "a device path must never be created";
}

TEST(Win32DeviceControl, AFailedOpenSaysWhichDeviceAndWhy) {
  FakeDeviceIo io;
  Win32DeviceControl devices(io);
  EXPECT_EQ(devices.OpenDevice("\\\\.\\Z2Mixer0"), kNoDevice);
  EXPECT_EQ(devices.LastError(), "\\\\.\\Z2Mixer0: no such device (the host driver is not installed or not running)");
  io.openError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(devices.OpenDevice("\\\\.\\Z2Mixer0"), kNoDevice);
  const std::string text = devices.LastError();
  EXPECT_EQ(text.rfind("\\\\.\\Z2Mixer0: ", 0), 0u) << text;
  EXPECT_EQ(text.find("host driver"), std::string::npos) << "access denied is not a missing driver: " << text;
  EXPECT_TRUE(io.open.empty());
}

TEST(Win32DeviceControl, HandsTheRequestToTheSystemAsGiven) {
  FakeDeviceIo io;
  Win32DeviceControl devices(io);
  const DeviceHandle d = devices.OpenDevice("\\\\.\\Z2Mixer1");
  // The information request: 16 bytes in, the answer in the same buffer.
  uint8_t info[z2mixer::kInfoSize] = {};
  z2mixer::Put32(info, 5);
  io.answer = {5, 0, 0, 0, 0x14, 0x60};
  uint32_t returned = 99;
  ASSERT_TRUE(devices.Request(d, z2mixer::kAdapterInfo, info, sizeof info, info, sizeof info, &returned));
  ASSERT_EQ(io.calls.size(), 1u);
  EXPECT_EQ(io.calls[0].code, 0x001D8FCCu);
  EXPECT_EQ(io.calls[0].in, std::vector<uint8_t>({5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(io.calls[0].outSize, 16u);
  EXPECT_TRUE(io.calls[0].sameBuffer);
  EXPECT_EQ(returned, 6u);
  EXPECT_EQ(z2mixer::Get16(info + 4), 0x6014);
  // A request without output (take an adapter): no output buffer, size 0.
  uint8_t take[4] = {2, 0, 0, 0};
  ASSERT_TRUE(devices.Request(d, z2mixer::kTakeAdapter, take, sizeof take, nullptr, 0, nullptr));
  EXPECT_EQ(io.calls[1].code, 0x001D4C80u);
  EXPECT_EQ(io.calls[1].in, std::vector<uint8_t>({2, 0, 0, 0}));
  EXPECT_EQ(io.calls[1].outSize, 0u);
}

TEST(Win32DeviceControl, AFailedRequestNamesTheDeviceAndTheCode) {
  FakeDeviceIo io;
  Win32DeviceControl devices(io);
  const DeviceHandle d = devices.OpenDevice("\\\\.\\Z2Mixer1");
  io.controlError = ERROR_GEN_FAILURE;
  uint8_t request[z2mixer::kMessageRequestSize] = {};
  uint32_t returned = 7;
  EXPECT_FALSE(devices.Request(d, z2mixer::kSend, request, sizeof request, nullptr, 0, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(devices.LastError().rfind("\\\\.\\Z2Mixer1: request 0x001D8C8C: ", 0), 0u) << devices.LastError();
  // A request with a buffer size but no buffer never reaches the driver.
  io.controlError = 0;
  EXPECT_FALSE(devices.Request(d, z2mixer::kFetch, nullptr, 2056, nullptr, 0, nullptr));
  EXPECT_EQ(io.calls.size(), 1u);
}

TEST(Win32DeviceControl, HandlesItDidNotOpenNeverReachTheSystem) {
  FakeDeviceIo io;
  Win32DeviceControl devices(io);
  const DeviceHandle d = devices.OpenDevice("\\\\.\\Z2Mixer1");
  devices.CloseDevice(d);
  uint8_t take[4] = {};
  EXPECT_FALSE(devices.Request(d, z2mixer::kTakeAdapter, take, sizeof take, nullptr, 0, nullptr));
  EXPECT_FALSE(devices.Request(kNoDevice, z2mixer::kTakeAdapter, take, sizeof take, nullptr, 0, nullptr));
  EXPECT_FALSE(devices.Request(0x1234, z2mixer::kTakeAdapter, take, sizeof take, nullptr, 0, nullptr));
  EXPECT_TRUE(io.calls.empty());
  EXPECT_EQ(devices.LastError(), "request 0x001D4C80: no device open");
  devices.CloseDevice(d);         // a second close is no second CloseHandle
  devices.CloseDevice(kNoDevice);
  EXPECT_EQ(io.closed.size(), 1u);
}

TEST(Win32DeviceControl, EveryHandleIsClosedOnceEvenIfTheCallerForgets) {
  FakeDeviceIo io;
  io.published.insert(L"\\\\.\\Z2Mixer2");
  {
    Win32DeviceControl devices(io);
    const DeviceHandle a = devices.OpenDevice("\\\\.\\Z2Mixer1");
    devices.OpenDevice("\\\\.\\Z2Mixer2");
    devices.CloseDevice(a);
    EXPECT_EQ(io.closed.size(), 1u);
  }
  EXPECT_EQ(io.closed, io.open);
}

// The codes are the system's own: device type 0x1D, buffered, and the
// access each request needs.
TEST(Win32DeviceControl, RequestCodesAreTheDriversControlCodes) {
  EXPECT_EQ(z2mixer::kAdapterInfo, static_cast<uint32_t>(CTL_CODE(0x1D, 0x3F3, METHOD_BUFFERED, FILE_WRITE_ACCESS)));
  EXPECT_EQ(z2mixer::kTakeAdapter, static_cast<uint32_t>(CTL_CODE(0x1D, 0x320, METHOD_BUFFERED, FILE_READ_ACCESS)));
  EXPECT_EQ(z2mixer::kGiveBack, static_cast<uint32_t>(CTL_CODE(0x1D, 0x321, METHOD_BUFFERED, FILE_READ_ACCESS)));
  EXPECT_EQ(z2mixer::kFetch, static_cast<uint32_t>(CTL_CODE(0x1D, 0x322, METHOD_BUFFERED, FILE_READ_ACCESS)));
  EXPECT_EQ(z2mixer::kSend, static_cast<uint32_t>(CTL_CODE(0x1D, 0x323, METHOD_BUFFERED, FILE_WRITE_ACCESS)));
  EXPECT_EQ(z2mixer::kAdapterValue, static_cast<uint32_t>(CTL_CODE(0x1D, 0x310, METHOD_BUFFERED, FILE_READ_ACCESS)));
}

// Wine (as a Windows without the maker's driver) publishes no Z2Mixer
// device: every one of them fails to open with the missing-driver text.
TEST(Win32DeviceControl, WithoutTheDriverNoDeviceOpensAndTheReasonIsClear) {
  Win32DeviceControl devices;
  for (int n = 0; n < z2mixer::kDevices; ++n) {
    const std::string name = "\\\\.\\Z2Mixer" + std::to_string(n);
    EXPECT_EQ(devices.OpenDevice(name.c_str()), kNoDevice) << name;
    EXPECT_EQ(devices.LastError(), name + ": no such device (the host driver is not installed or not running)");
  }
}

}  // namespace
