#pragma once
// Layout of the built-in firmware images, which are generated at build time
// (image_gen.cpp). A simulated unit or card may recognise one by its header:
//
//   offset  size  content
//   0       8     "OVFWIMG" and a zero byte
//   8       1     product id (96 main unit, 2 ZM-DIG, 21 ZI-RERAR, 50 VE-ZER)
//   9       1     0
//   10      2     version number, little endian (major x 100 + minor)
//   12      4     image size in bytes, little endian
//   16      32    resource name, zero padded
//   48      16    zero
//   64      ...   deterministic filler with the repeats of real code, so
//                 it compresses; every 256-byte record from offset 256 on
//                 starts with its own offset (4 bytes, little endian)
#include <cstdint>

namespace images {

constexpr char kMagic[8] = {'O', 'V', 'F', 'W', 'I', 'M', 'G', 0};
constexpr uint32_t kHeaderSize = 64;
constexpr uint32_t kRecordSize = 256;

}  // namespace images
