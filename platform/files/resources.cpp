#include "platform/files/resources.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

TableResources& Registered() {
  static TableResources table;
  return table;
}

// Compares as the resource compiler stores string names: upper-cased.
int CompareUpper(const char* a, const char* b) {
  for (;; ++a, ++b) {
    int ca = std::toupper(static_cast<unsigned char>(*a));
    int cb = std::toupper(static_cast<unsigned char>(*b));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

}  // namespace

template <>
Resources& DefaultService<Resources>() {
  return Registered();
}

void TableResources::Assign(const ResourceEntry* entries, size_t count) {
  entries_.clear();
  for (size_t i = 0; i < count; ++i) entries_.push_back(&entries[i]);
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const ResourceEntry* a, const ResourceEntry* b) { return CompareUpper(a->name, b->name) < 0; });
}

const ResourceEntry* TableResources::At(size_t index) { return index < entries_.size() ? entries_[index] : nullptr; }

const ResourceEntry* TableResources::Find(const char* name) {
  if (!name) return nullptr;
  for (const ResourceEntry* e : entries_) {
    if (CompareUpper(e->name, name) == 0) return e;
  }
  return nullptr;
}

void RegisterResourceTable(const ResourceEntry* entries, size_t count) { Registered().Assign(entries, count); }

}  // namespace platform
