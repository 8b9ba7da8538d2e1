#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/core/standard_streams.h"

namespace platform {

void KeepStandardStreamsOpen() {
  // A program started without a console (or with a stream closed) has no
  // valid descriptor there.
  for (int fd = 0; fd <= 2; ++fd) {
    if (_get_osfhandle(fd) != -1) continue;
    const int null = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null >= 0 && null != fd) {
      _dup2(null, fd);
      _close(null);
    }
  }
  // Text goes out as it does on Linux: "\n" ends a line, so piped output
  // and traces compare byte for byte.
  _setmode(1, _O_BINARY);
  _setmode(2, _O_BINARY);
}

}  // namespace platform
