#include "files/AllocatorArenas.h"

#include <malloc.h>

namespace vaultpack {

void ShareOneAllocatorArena() {
    // A hint to the allocator: should it refuse, threads get arenas as before.
    ::mallopt(M_ARENA_MAX, 1);
}

}  // namespace vaultpack
