// The module's one allocator pair: every object and working buffer of the
// plug-in is a zero-filled global-memory block, so every new object starts
// all-zero. COM objects are placement-constructed into these blocks.
#ifndef ZU_PLUGIN_ALLOCATOR_H
#define ZU_PLUGIN_ALLOCATOR_H

#include <cstddef>
#include <new>
#include <utility>

namespace zu {

void* ZuAlloc(size_t bytes);  // null on failure
void ZuFree(void* block);     // null is accepted

// Creates a T in a zero-filled block; null when memory runs out or the
// constructor throws.
template <typename T, typename... Args>
T* ZuNew(Args&&... args) {
    void* block = ZuAlloc(sizeof(T));
    if (!block) return nullptr;
    try {
        return ::new (block) T(std::forward<Args>(args)...);
    } catch (...) {
        ZuFree(block);
        return nullptr;
    }
}

template <typename T>
void ZuDelete(T* object) {
    if (!object) return;
    object->~T();
    ZuFree(object);
}

}  // namespace zu

#endif
