#include "platform/core/dynamic_library.h"

#include <gtest/gtest.h>

namespace {

TEST(DynamicLibraryTest, WindowsNamesMapToSharedLibraries) {
  struct Case {
    const char* name;
    const char* mapped;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Card\\card_api.dll", "/Program Files/Card/card_api.so"},
      {"C:/dir/foo.dll", "/dir/foo.so"},
      {"dante_dnssd.dll", "dante_dnssd.so"},
      {"LIB.DLL", "LIB.so"},
      {"/opt/card/libcard.so", "/opt/card/libcard.so"},
      {"libm.so.6", "libm.so.6"},
      {".dll", ".dll"},
      {"dir.dll/x", "dir.dll/x"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SharedLibraryName(c.name), c.mapped) << c.name;
  }
}

TEST(DynamicLibraryTest, LoadsAndFindsSymbols) {
  platform::DynamicLibraries& libs = platform::Use<platform::DynamicLibraries>();
  platform::LibraryHandle libm = libs.Load("libm.so.6");
  ASSERT_NE(libm, nullptr) << libs.LastError();
  auto cosine = reinterpret_cast<double (*)(double)>(libs.Symbol(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(libs.Symbol(libm, "no_such_function_here"), nullptr);
  EXPECT_NE(libs.LastError().find("no_such_function_here"), std::string::npos);
  libs.Unload(libm);
}

TEST(DynamicLibraryTest, MissingLibraryFailsWithAReason) {
  platform::DynamicLibraries& libs = platform::Use<platform::DynamicLibraries>();
  EXPECT_EQ(libs.Load("C:\\nowhere\\missing_card_api.dll"), nullptr);
  EXPECT_NE(libs.LastError().find("/nowhere/missing_card_api.so"), std::string::npos) << libs.LastError();
  EXPECT_EQ(libs.Symbol(nullptr, "cos"), nullptr);
  libs.Unload(nullptr);
}

}  // namespace
