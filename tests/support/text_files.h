#pragma once
// Reading what a run left behind: a whole file as text ("" when it cannot
// be read), and containment tests for assertions.
#include <filesystem>
#include <string>

namespace test_support {

std::string ReadFile(const std::filesystem::path& path);
bool Has(const std::string& text, const std::string& part);
// How often `part` stands in `text`, overlapping places included.
int Count(const std::string& text, const std::string& part);

}  // namespace test_support
