// Linux stand-ins for global memory, private heaps, critical sections, mutexes
// and thread identities.
#include <sys/syscall.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/platform.h"

namespace zu::platform {

void* GlobalAllocZeroed(size_t bytes) { return std::calloc(bytes ? bytes : 1, 1); }
void GlobalFreeBlock(void* block) { std::free(block); }
// calloc blocks are never moved by a shrink here: the block simply keeps its
// tail, which is what "reallocate in place" promises a caller.
bool GlobalShrinkInPlace(void* block, size_t) { return block != nullptr; }

// A private heap is a set of blocks that can be released in one go.
struct PrivateHeap {
    std::mutex lock;
    std::unordered_set<void*> blocks;
};

PrivateHeap* PrivateHeapCreate(size_t) { return new (std::nothrow) PrivateHeap(); }

void* PrivateHeapAllocZeroed(PrivateHeap* heap, size_t bytes) {
    if (!heap) return nullptr;
    void* p = std::calloc(bytes ? bytes : 1, 1);
    if (!p) return nullptr;
    try {
        std::lock_guard<std::mutex> g(heap->lock);
        heap->blocks.insert(p);
    } catch (...) {
        std::free(p);
        return nullptr;
    }
    return p;
}

void PrivateHeapFree(PrivateHeap* heap, void* block) {
    if (!heap || !block) return;
    std::lock_guard<std::mutex> g(heap->lock);
    if (heap->blocks.erase(block)) std::free(block);
}

void PrivateHeapDestroy(PrivateHeap* heap) {
    if (!heap) return;
    for (void* p : heap->blocks) std::free(p);
    delete heap;
}

static_assert(sizeof(std::recursive_mutex) <= 40, "critical section storage");
static_assert(sizeof(std::recursive_timed_mutex) <= 80, "mutex storage");

CriticalSection::CriticalSection() { new (storage_) std::recursive_mutex(); }
CriticalSection::~CriticalSection() { reinterpret_cast<std::recursive_mutex*>(storage_)->~recursive_mutex(); }
void CriticalSection::Enter() { reinterpret_cast<std::recursive_mutex*>(storage_)->lock(); }
void CriticalSection::Leave() { reinterpret_cast<std::recursive_mutex*>(storage_)->unlock(); }

// A Windows mutex is owned by a thread and may be re-acquired by its owner.
TimedMutex::TimedMutex() { new (storage_) std::recursive_timed_mutex(); }
TimedMutex::~TimedMutex() { reinterpret_cast<std::recursive_timed_mutex*>(storage_)->~recursive_timed_mutex(); }
bool TimedMutex::Lock(uint32_t timeoutMs) {
    auto* m = reinterpret_cast<std::recursive_timed_mutex*>(storage_);
    if (timeoutMs == 0xFFFFFFFFu) {
        m->lock();
        return true;
    }
    return m->try_lock_for(std::chrono::milliseconds(timeoutMs));
}
void TimedMutex::Unlock() { reinterpret_cast<std::recursive_timed_mutex*>(storage_)->unlock(); }

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }
// Every read into a host's memory asks for the process identifier: keep it,
// and forget it in a forked child, which has another one.
namespace {
std::atomic<uint32_t> g_processId{0};
void ForgetProcessId() { g_processId.store(0); }
}  // namespace

uint32_t CurrentProcessId() {
    uint32_t id = g_processId.load(std::memory_order_relaxed);
    if (id == 0) {
        static const int registered = pthread_atfork(nullptr, nullptr, &ForgetProcessId);
        (void)registered;
        id = static_cast<uint32_t>(getpid());
        g_processId.store(id, std::memory_order_relaxed);
    }
    return id;
}

}  // namespace zu::platform
