#pragma once
// Opens a file for appending without ever blocking and only when it is (or
// becomes) a regular file: a FIFO or a device named as a log or trace file
// must not hang the run or receive our records.
#include <cstdio>
#include <string>

namespace platform {

// Opens `path` for appending, creating it (mode 0644 less the umask) when
// missing. With `followLinks` false a symbolic link is refused, so a
// planted link cannot redirect our writes into another file. Returns null
// with *error set to the errno on failure; a file that is not a regular
// file gives EINVAL, a refused link ELOOP.
std::FILE* OpenForAppend(const std::string& path, bool followLinks, int* error);

}  // namespace platform
