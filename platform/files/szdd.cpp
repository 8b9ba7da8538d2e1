#include "platform/files/szdd.h"

#include "platform/files/files.h"

namespace platform {

std::unique_ptr<File> SzddExpander::BeginSource(const std::string& path) {
  Close();
  expected_ = 0;
  systemError_ = 0;
  std::unique_ptr<File> file = Use<Files>().OpenRead(path);
  if (!file) systemError_ = Use<Files>().LastError();
  return file;
}

}  // namespace platform
