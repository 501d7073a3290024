// The allocator pair over the platform's zero-filled global memory.
#include "plugin/allocator.h"

#include "platform/platform.h"

namespace zu {

void* ZuAlloc(size_t bytes) { return platform::GlobalAllocZeroed(bytes); }
void ZuFree(void* block) { platform::GlobalFreeBlock(block); }

}  // namespace zu
