// The shared growable list: a contiguous array of equal-sized slots behind a
// small header, optionally owning its items and optionally thread-safe.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "zuinstr/zuinstr_list.h"

namespace {

using zu::platform::CriticalSection;

constexpr int32_t kMaxGrowBy = 0x10400;
static_assert(sizeof(CriticalSection) <= sizeof(tZULIST::lock), "the list's lock fits its field");

bool IsList(const tZULIST* list) { return list && list->signature == ZULIST_SIGNATURE; }
bool OwnsItems(const tZULIST* list) { return (list->options & ZULIST_OPT_HEAPITEMS) != 0; }
CriticalSection* LockOf(tZULIST* list) { return reinterpret_cast<CriticalSection*>(list->lock); }

// A list that is neither shared nor locked belongs to the thread that made it.
bool ThreadAllowed(const tZULIST* list) {
    return (list->options & (ZULIST_OPT_ANYTHREAD | ZULIST_OPT_THREADSAFE)) ||
           list->ownerThread == zu::platform::CurrentThreadId();
}

// Holds the list's lock for thread-safe lists and checks the owner thread of
// lists that may not be shared.
class ListScope {
public:
    explicit ListScope(tZULIST* list) : list_(list) {
        if (list_->options & ZULIST_OPT_THREADSAFE) {
            LockOf(list_)->Enter();
            locked_ = true;
        }
    }
    ~ListScope() {
        if (locked_) LockOf(list_)->Leave();
    }
    bool ThreadAllowed() const { return ::ThreadAllowed(list_); }

private:
    tZULIST* list_;
    bool locked_ = false;
};

void* AllocItem(tZULIST* list, size_t size) {
    if (list->heap) return zu::platform::PrivateHeapAllocZeroed(static_cast<zu::platform::PrivateHeap*>(list->heap), size);
    return std::calloc(size ? size : 1, 1);
}

void FreeItem(tZULIST* list, void* item) {
    if (!item) return;
    if (list->heap) zu::platform::PrivateHeapFree(static_cast<zu::platform::PrivateHeap*>(list->heap), item);
    else std::free(item);
}

uint8_t* Slot(tZULIST* list, int32_t i) { return static_cast<uint8_t*>(list->items) + static_cast<size_t>(i) * list->itemSize; }

HRESULT Grow(tZULIST* list, int32_t n) {
    const int64_t step = list->growBy;
    int64_t growth = n > 0 ? ((n + step - 1) / step) * step : step;
    const int64_t newAllocated = static_cast<int64_t>(list->allocated) + growth;
    if (newAllocated > 0x7FFFFFFF) return E_OUTOFMEMORY;
    void* block = zu::platform::GlobalAllocZeroed(static_cast<size_t>(newAllocated) * list->itemSize);
    if (!block) return E_OUTOFMEMORY;
    if (list->items) {
        std::memcpy(block, list->items, static_cast<size_t>(list->allocated) * list->itemSize);
        zu::platform::GlobalFreeBlock(list->items);
    }
    list->items = block;
    list->allocated = static_cast<int32_t>(newAllocated);
    return S_OK;
}

HRESULT Shrink(tZULIST* list) {
    const int32_t free = list->allocated - list->count;
    if (free <= list->growBy) return S_OK;
    int32_t release = (free / list->growBy) * list->growBy;
    if (list->allocated - release < 1) release = list->allocated - 1;
    if (release <= 0) return S_OK;
    const int32_t newAllocated = list->allocated - release;
    if (!zu::platform::GlobalShrinkInPlace(list->items, static_cast<size_t>(newAllocated) * list->itemSize))
        return E_OUTOFMEMORY;
    list->allocated = newAllocated;
    return S_OK;
}

// True when the bytes at source overlap the list's slot array.
bool SourceInSlots(const tZULIST* list, const void* source, int32_t n) {
    const auto begin = reinterpret_cast<uintptr_t>(list->items);
    const auto end = begin + static_cast<size_t>(list->allocated) * list->itemSize;
    const auto src = reinterpret_cast<uintptr_t>(source);
    return src < end && src + static_cast<size_t>(n) * list->itemSize > begin;
}

// Inserts n slots before index, copied from source or, for a null source, the
// pending item.
HRESULT InsertSlots(tZULIST* list, int32_t index, const void* source, int32_t n) {
    if (index < 0 || index > list->count) index = list->count;
    // Slots copied from the list itself would be freed by a growth or shifted
    // by the move below, so they are taken aside first.
    std::unique_ptr<void, decltype(&std::free)> aside(nullptr, &std::free);
    if (source && SourceInSlots(list, source, n)) {
        const size_t bytes = static_cast<size_t>(n) * list->itemSize;
        aside.reset(std::malloc(bytes));
        if (!aside) return E_OUTOFMEMORY;
        std::memcpy(aside.get(), source, bytes);
        source = aside.get();
    }
    if (static_cast<int64_t>(list->count) + n > list->allocated) {
        const HRESULT hr = Grow(list, n);
        if (FAILED(hr)) return hr;
    }
    const size_t tail = static_cast<size_t>(list->count - index) * list->itemSize;
    if (tail) std::memmove(Slot(list, index + n), Slot(list, index), tail);
    if (source) {
        std::memcpy(Slot(list, index), source, static_cast<size_t>(n) * list->itemSize);
    } else {
        void* item = list->pendingItem;
        std::memcpy(Slot(list, index), &item, sizeof item);
    }
    list->count += n;
    list->pendingItem = nullptr;
    return S_OK;
}

}  // namespace

ZU_EXPORT_C HRESULT ZuList_CreateExZ(tZULIST** outList, size_t itemSize, int32_t initialCount, int32_t growBy,
                                     uint32_t options) {
    if (!outList) return E_FAIL;
    options |= ZULIST_OPT_ANYTHREAD;
    const bool inPlace = (options & ZULIST_OPT_INPLACE) != 0;
    if (inPlace) {
        if (!*outList) return E_FAIL;
        std::memset(*outList, 0, sizeof(tZULIST));
    } else {
        *outList = nullptr;
    }
    if ((options & ZULIST_OPT_HEAPITEMS) && (options & ZULIST_OPT_FIXEDSIZE)) return E_FAIL;
    // A zero-sized slot could hold nothing, and a slot beyond 2 GB could not be
    // counted in the 32-bit sizes of the list's callers: both are refused.
    if ((options & ZULIST_OPT_FIXEDSIZE) && (itemSize == 0 || itemSize > 0x7FFFFFFF)) return E_FAIL;

    tZULIST* list = inPlace ? *outList : static_cast<tZULIST*>(std::calloc(1, sizeof(tZULIST)));
    if (!list) return E_OUTOFMEMORY;
    list->signature = ZULIST_SIGNATURE;
    list->options = options;
    list->itemSize = (options & ZULIST_OPT_FIXEDSIZE) ? ((itemSize + 3) & ~static_cast<size_t>(3)) : 8;

    int32_t grow = growBy < 1 ? 16 : growBy;
    if (grow < 4) grow = 4;
    if (grow > kMaxGrowBy) grow = kMaxGrowBy;
    int32_t initial = initialCount < 1 ? 16 : initialCount;
    if (initial < 4) initial = 4;
    list->growBy = grow;
    const int64_t allocated = ((static_cast<int64_t>(initial) + grow - 1) / grow) * grow;
    // Rounding a huge initial count up to whole steps can pass the 32-bit slot
    // count; such a capacity cannot be had, so it counts as out of memory.
    list->allocated = allocated > INT32_MAX ? 0 : static_cast<int32_t>(allocated);
    list->items = list->allocated ? zu::platform::GlobalAllocZeroed(static_cast<size_t>(allocated) * list->itemSize)
                                  : nullptr;
    if (!list->items) {
        list->signature = 0;
        list->allocated = 0;
        if (!inPlace) std::free(list);
        return E_OUTOFMEMORY;
    }
    if (options & ZULIST_OPT_THREADSAFE) ::new (list->lock) CriticalSection();
    list->ownerThread = zu::platform::CurrentThreadId();
    if (options & ZULIST_OPT_HEAPITEMS) {
        list->heapAllocFlags = 9;
        list->heapFreeFlags = 1;
        if (options & ZULIST_OPT_PRIVATEHEAP) {
            list->heap = zu::platform::PrivateHeapCreate(4096);
            if (!list->heap) {
                ZuList_Destroy(list);
                return E_OUTOFMEMORY;
            }
        }
    }
    *outList = list;
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuList_InsertList(tZULIST* list, int32_t index, const void* source, int32_t n) {
    if (!IsList(list)) return E_FAIL;
    ListScope scope(list);
    if (!scope.ThreadAllowed()) return E_FAIL;
    if (OwnsItems(list)) {
        // The list owns its item pointers: only hand-overs and the pending item.
        if (source && n < 0 && n != INT32_MIN) return InsertSlots(list, index, source, -n);
        if (!source && n == -1 && list->pendingItem) return InsertSlots(list, index, nullptr, 1);
        return E_FAIL;
    }
    if (!source) return E_FAIL;
    if (n == INT32_MIN) return E_FAIL;
    const int32_t count = n < 0 ? -n : n;
    if (count == 0) return S_OK;
    return InsertSlots(list, index, source, count);
}

ZU_EXPORT_C HRESULT ZuList_AllocAndInsertItem(tZULIST* list, const void* data, size_t size, int32_t index,
                                              uint32_t* outSlot) {
    auto fail = [&](HRESULT hr) {
        if (outSlot) *outSlot = 0xFFFFFFFFu;
        return hr;
    };
    if (!IsList(list)) return fail(E_FAIL);
    ListScope scope(list);
    if (!scope.ThreadAllowed() || !OwnsItems(list) || list->pendingItem) return fail(E_FAIL);
    const int32_t target = (index >= 0 && index < list->count) ? index : list->count;
    void* item = AllocItem(list, size);
    if (!item) return fail(E_OUTOFMEMORY);
    if (data && size) std::memcpy(item, data, size);
    list->pendingItem = item;
    const HRESULT hr = ZuList_InsertList(list, target, nullptr, -1);
    if (FAILED(hr)) {
        FreeItem(list, item);
        list->pendingItem = nullptr;
        return fail(hr);
    }
    if (outSlot) *outSlot = static_cast<uint32_t>(target);
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuList_DeleteList(tZULIST* list, int32_t index, int32_t n, BOOL shrink) {
    if (!IsList(list)) return E_FAIL;
    ListScope scope(list);
    if (!scope.ThreadAllowed()) return E_FAIL;
    if (n < 0 && index < 0) {
        if (!list->pendingItem) return E_FAIL;
        FreeItem(list, list->pendingItem);
        list->pendingItem = nullptr;
        return S_OK;
    }
    if (n < 0) n = list->count - index;
    if (n == 0) return S_OK;
    if (index < 0 || index >= list->count) return E_FAIL;
    if (n > list->count - index) n = list->count - index;
    if (OwnsItems(list)) {
        for (int32_t i = index; i < index + n; ++i) {
            void* item = nullptr;
            std::memcpy(&item, Slot(list, i), sizeof item);
            FreeItem(list, item);
        }
    }
    const size_t tail = static_cast<size_t>(list->count - index - n) * list->itemSize;
    if (tail) std::memmove(Slot(list, index), Slot(list, index + n), tail);
    std::memset(Slot(list, list->count - n), 0, static_cast<size_t>(n) * list->itemSize);
    list->count -= n;
    if (shrink) return Shrink(list);
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuList_Destroy(tZULIST* list) {
    if (!list) return S_OK;
    if (!IsList(list) || !ThreadAllowed(list)) return E_FAIL;
    const bool threadSafe = (list->options & ZULIST_OPT_THREADSAFE) != 0;
    if (threadSafe) LockOf(list)->Enter();
    if (OwnsItems(list) && list->items) {
        if (list->heap) {
            zu::platform::PrivateHeapDestroy(static_cast<zu::platform::PrivateHeap*>(list->heap));
            list->heap = nullptr;
        } else {
            for (int32_t i = 0; i < list->count; ++i) {
                void* item = nullptr;
                std::memcpy(&item, Slot(list, i), sizeof item);
                std::free(item);
            }
        }
        std::memset(list->items, 0, static_cast<size_t>(list->count) * list->itemSize);
    }
    zu::platform::GlobalFreeBlock(list->items);
    list->items = nullptr;
    list->signature = 0;
    if (threadSafe) {
        LockOf(list)->Leave();
        LockOf(list)->~CriticalSection();
    }
    if (!(list->options & ZULIST_OPT_INPLACE)) std::free(list);
    return S_OK;
}
