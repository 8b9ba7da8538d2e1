#pragma once
// Reading what a run left behind: a whole file as text ("" when it cannot
// be read) and a containment test for assertions.
#include <filesystem>
#include <string>

namespace test_support {

std::string ReadFile(const std::filesystem::path& path);
bool Has(const std::string& text, const std::string& part);

}  // namespace test_support
