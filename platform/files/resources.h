#pragma once
// Named raw-data resources compiled into the program (the built-in firmware
// images). The build generates the table; the application registers it once
// with RegisterResourceTable, and the default backend serves it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/core/service.h"

namespace platform {

struct ResourceEntry {
  const char* name;         // upper case, as the resource compiler stores it
  const uint8_t* data;      // the stored bytes; valid for the whole run
  uint32_t size;            // stored size
  uint32_t expandedSize;    // size once expanded; 0 when not compressed
  uint64_t expandedDigest;  // Digest() of the expanded bytes
};

class Resources {
 public:
  virtual ~Resources() = default;
  // The number of resources.
  virtual size_t Count() = 0;
  // Resource `index` in enumeration order (names in ascending order of their
  // upper-case form), or null past the end.
  virtual const ResourceEntry* At(size_t index) = 0;
  // The resource of that name (compared without regard to case), or null.
  virtual const ResourceEntry* Find(const char* name) = 0;
};

// Resources served from a table; the entries must outlive the object.
class TableResources : public Resources {
 public:
  TableResources() = default;
  TableResources(const ResourceEntry* entries, size_t count) { Assign(entries, count); }
  // Replaces the table.
  void Assign(const ResourceEntry* entries, size_t count);
  size_t Count() override { return entries_.size(); }
  const ResourceEntry* At(size_t index) override;
  const ResourceEntry* Find(const char* name) override;

 private:
  std::vector<const ResourceEntry*> entries_;
};

// Makes the default backend serve `entries` (which must live for the whole
// run). Registering the same table again changes nothing.
void RegisterResourceTable(const ResourceEntry* entries, size_t count);

}  // namespace platform
