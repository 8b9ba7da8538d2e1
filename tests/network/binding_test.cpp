// Loading a DNS-SD library at run time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "network/dnssd_binding.h"
#include "tests/support/scripted_host.h"

namespace {

class Binding : public ::testing::Test {
 protected:
  void TearDown() override {
    UnloadDnsSdBinding();
    unsetenv("REFLASH_DNSSD_LIBRARY");
  }
  test_support::ScriptedHost host_;
};

TEST_F(Binding, OurOwnLibraryResolvesEveryFunction) {
  setenv("REFLASH_DNSSD_LIBRARY", REFLASH_TEST_OWN_DNSSD, 1);
  ASSERT_TRUE(LoadDnsSdBinding());
  const DnsSdBinding& b = DnsSd();
  for (const void* f : {(const void*)b.Browse, (const void*)b.ConstructFullName, (const void*)b.CreateConnection,
                        (const void*)b.ProcessResult, (const void*)b.QueryRecord, (const void*)b.ReconfirmRecord,
                        (const void*)b.RefDeallocate, (const void*)b.RefSockFD, (const void*)b.Resolve,
                        (const void*)b.TXTContainsKey, (const void*)b.TXTGetValuePtr}) {
    EXPECT_NE(f, nullptr);
  }
  char full[kDNSServiceMaxDomainName];
  EXPECT_EQ(b.ConstructFullName(full, "a", "_b._udp", "local"), kDNSServiceErr_NoError);
  EXPECT_STREQ(full, "a._b._udp.local.");
  EXPECT_TRUE(LoadDnsSdBinding());  // again while loaded: still fine
  UnloadDnsSdBinding();
  EXPECT_EQ(DnsSd().Browse, nullptr);
  EXPECT_TRUE(host_.Messages().empty());
}

TEST_F(Binding, AMissingLibraryFailsWithoutAMessage) {
  setenv("REFLASH_DNSSD_LIBRARY", "/nonexistent/dnssd.so", 1);
  EXPECT_FALSE(LoadDnsSdBinding());
  EXPECT_TRUE(host_.Messages().empty());
  EXPECT_EQ(DnsSd().RefSockFD, nullptr);
}

TEST_F(Binding, ALibraryLackingAFunctionSaysWhichOnce) {
  setenv("REFLASH_DNSSD_LIBRARY", REFLASH_TEST_INCOMPLETE_DNSSD, 1);
  EXPECT_FALSE(LoadDnsSdBinding());
  ASSERT_EQ(host_.Messages().size(), 1u);
  EXPECT_EQ(host_.Messages()[0].text, "GetProcAddress failed");
  EXPECT_EQ(host_.Messages()[0].caption, std::optional<std::string>("TXTRecordGetValuePtr"));
  EXPECT_EQ(DnsSd().Browse, nullptr);  // nothing half-bound is left behind
}

TEST_F(Binding, WithoutTheVariableOurLibraryIsLookedForBesideTheProgram) {
  unsetenv("REFLASH_DNSSD_LIBRARY");
  std::string path = DnsSdLibraryPath();
  EXPECT_NE(path.find(std::string("lib/reflash/") + kOwnDnsSdLibrary), std::string::npos) << path;
  // The build tree has the installed shape: found without configuration.
  EXPECT_TRUE(LoadDnsSdBinding()) << path;
  EXPECT_TRUE(host_.Messages().empty());
}

}  // namespace
