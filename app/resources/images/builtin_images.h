#pragma once
// The four built-in firmware images as a resource table (generated at build
// time by embed_gen from the SZDD-compressed images).
#include <cstddef>

#include "platform/files/resources.h"

// The table and its number of entries; the data live for the whole run.
const platform::ResourceEntry* BuiltInImageTable(size_t* count);
