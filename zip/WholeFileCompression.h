#pragma once

#include "zip/PreparedEntry.h"

namespace vaultpack {

// Deflates entry.data, a whole file read into memory, in place when that
// makes it smaller, at a level chosen by its size alone; otherwise (also when
// there is no memory for a compressor) the entry is stored. Each thread keeps
// its own compressors.
void CompressWhole(PreparedEntry& entry);

}  // namespace vaultpack
