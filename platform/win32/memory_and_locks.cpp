// Win32 global memory, private heaps, critical sections, mutexes and identities.
#include <windows.h>

#include <new>

#include "platform/platform.h"

namespace zu::platform {

void* GlobalAllocZeroed(size_t bytes) {
    HGLOBAL h = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
    if (!h) return nullptr;
    void* p = ::GlobalLock(h);
    if (!p) ::GlobalFree(h);
    return p;
}

void GlobalFreeBlock(void* block) {
    if (!block) return;
    HGLOBAL h = ::GlobalHandle(block);
    if (!h) return;
    ::GlobalUnlock(h);
    h = ::GlobalHandle(block);
    if (h) ::GlobalFree(h);
}

bool GlobalShrinkInPlace(void* block, size_t newBytes) {
    if (!block) return false;
    HGLOBAL h = ::GlobalHandle(block);
    // Without GMEM_MOVEABLE the block is resized where it stands.
    return h && ::GlobalReAlloc(h, newBytes ? newBytes : 1, GMEM_ZEROINIT) == h;
}

struct PrivateHeap {};

PrivateHeap* PrivateHeapCreate(size_t initialBytes) {
    return reinterpret_cast<PrivateHeap*>(::HeapCreate(HEAP_NO_SERIALIZE, initialBytes, 0));
}
void* PrivateHeapAllocZeroed(PrivateHeap* heap, size_t bytes) {
    if (!heap) return nullptr;
    return ::HeapAlloc(reinterpret_cast<HANDLE>(heap), HEAP_NO_SERIALIZE | HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}
void PrivateHeapFree(PrivateHeap* heap, void* block) {
    if (heap && block) ::HeapFree(reinterpret_cast<HANDLE>(heap), HEAP_NO_SERIALIZE, block);
}
void PrivateHeapDestroy(PrivateHeap* heap) {
    if (heap) ::HeapDestroy(reinterpret_cast<HANDLE>(heap));
}

static_assert(sizeof(CRITICAL_SECTION) <= 40, "critical section storage");

CriticalSection::CriticalSection() { ::InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
CriticalSection::~CriticalSection() { ::DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void CriticalSection::Enter() { ::EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }
void CriticalSection::Leave() { ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }

TimedMutex::TimedMutex() {
    HANDLE h = ::CreateMutexW(nullptr, FALSE, nullptr);
    static_assert(sizeof(HANDLE) <= sizeof(storage_), "mutex storage");
    ::memcpy(storage_, &h, sizeof h);
}
TimedMutex::~TimedMutex() {
    HANDLE h;
    ::memcpy(&h, storage_, sizeof h);
    if (h) ::CloseHandle(h);
}
bool TimedMutex::Lock(uint32_t timeoutMs) {
    HANDLE h;
    ::memcpy(&h, storage_, sizeof h);
    if (!h) return false;
    const DWORD r = ::WaitForSingleObject(h, timeoutMs == 0xFFFFFFFFu ? INFINITE : timeoutMs);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}
void TimedMutex::Unlock() {
    HANDLE h;
    ::memcpy(&h, storage_, sizeof h);
    if (h) ::ReleaseMutex(h);
}

uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }
uint32_t CurrentProcessId() { return ::GetCurrentProcessId(); }

}  // namespace zu::platform
