#pragma once
// A power_supply folder built in a temporary directory: each supply is a
// folder of attribute files, as the kernel shows them.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/core/non_copyable.h"

class FakePowerSupplies : platform::NonCopyable {
 public:
  FakePowerSupplies() {
    std::string pattern = (std::filesystem::temp_directory_path() / "reflash-sysfs-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
  }
  ~FakePowerSupplies() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // Adds supply `name` with the given attributes, e.g. {{"type", "Mains"}, {"online", "1"}}.
  void Add(const std::string& name, const std::map<std::string, std::string>& attributes) {
    std::filesystem::create_directories(root_ / name);
    for (const auto& [attribute, value] : attributes) {
      std::ofstream(root_ / name / attribute) << value << "\n";
    }
  }

  std::string root() const { return root_.string(); }

 private:
  std::filesystem::path root_;
};
