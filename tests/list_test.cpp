// The shared list: capacity and growth arithmetic, the three list kinds, the
// insertion and deletion rules, shrinking, in-place headers and locking.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "zuinstr/zuinstr_list.h"

// mingw's win32 thread model has no std::thread; the concurrent cases then skip.
#if !defined(__GLIBCXX__) || defined(_GLIBCXX_HAS_GTHREADS)
#define ZU_TEST_HAS_THREADS 1
#include <thread>
#else
#define ZU_TEST_HAS_THREADS 0
#endif

namespace {

struct ListDestroyer {
    void operator()(tZULIST* list) const { ZuList_Destroy(list); }
};
using ListPtr = std::unique_ptr<tZULIST, ListDestroyer>;

ListPtr MakeList(size_t itemSize, int32_t initialCount, int32_t growBy, uint32_t options) {
    tZULIST* list = nullptr;
    EXPECT_EQ(ZuList_CreateExZ(&list, itemSize, initialCount, growBy, options), S_OK);
    return ListPtr(list);
}

uint8_t* SlotAt(const tZULIST* list, int32_t i) {
    return static_cast<uint8_t*>(list->items) + static_cast<size_t>(i) * list->itemSize;
}

uintptr_t PointerAt(const tZULIST* list, int32_t i) {
    uintptr_t v = 0;
    std::memcpy(&v, SlotAt(list, i), sizeof v);
    return v;
}

std::vector<uintptr_t> Pointers(const tZULIST* list) {
    std::vector<uintptr_t> out;
    for (int32_t i = 0; i < list->count; ++i) out.push_back(PointerAt(list, i));
    return out;
}

HRESULT InsertPointer(tZULIST* list, int32_t index, uintptr_t value) {
    const void* p = reinterpret_cast<const void*>(value);
    return ZuList_InsertList(list, index, &p, 1);
}

void AppendPointers(tZULIST* list, uintptr_t first, int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(InsertPointer(list, -1, first + i), S_OK);
}

// The whole slot array as bytes, to prove that a failed call changed nothing.
std::vector<uint8_t> SlotBytes(const tZULIST* list) {
    const auto* p = static_cast<const uint8_t*>(list->items);
    return std::vector<uint8_t>(p, p + static_cast<size_t>(list->allocated) * list->itemSize);
}

bool AllZero(const uint8_t* p, size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

template <typename T>
T ItemAt(const tZULIST* list, int32_t i) {
    void* item = nullptr;
    std::memcpy(&item, SlotAt(list, i), sizeof item);
    T v{};
    std::memcpy(&v, item, sizeof v);
    return v;
}

// ---- Creation ----

TEST(ListCreate, DefaultsGiveSixteenSlotsGrowingBySixteen) {
    ListPtr list = MakeList(0, -1, -1, 0);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->signature, ZULIST_SIGNATURE);
    EXPECT_EQ(std::memcmp(&list->signature, "CURT", 4), 0);
    EXPECT_EQ(list->options, ZULIST_OPT_ANYTHREAD);
    EXPECT_EQ(list->itemSize, 8u);
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(list->allocated, 16);
    EXPECT_EQ(list->growBy, 16);
    EXPECT_EQ(list->pendingItem, nullptr);
    EXPECT_EQ(list->heap, nullptr);
    EXPECT_EQ(list->heapAllocFlags, 0u);
    EXPECT_TRUE(AllZero(SlotBytes(list.get()).data(), 16 * 8));

    AppendPointers(list.get(), 0x1000, 16);
    EXPECT_EQ(list->allocated, 16);
    const void* before = list->items;
    ASSERT_EQ(InsertPointer(list.get(), -1, 0x1010), S_OK);
    EXPECT_EQ(list->allocated, 32);
    EXPECT_NE(list->items, before);
    ASSERT_EQ(list->count, 17);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(PointerAt(list.get(), i), 0x1000u + i) << i;
    // The grown part beyond the slots in use starts zeroed.
    EXPECT_TRUE(AllZero(SlotAt(list.get(), 17), 15 * 8));
}

TEST(ListCreate, ArraySlotsRoundItemSizeUpToFour) {
    const struct {
        size_t requested;
        uint64_t slot;
    } cases[] = {{1, 4}, {4, 4}, {6, 8}, {8, 8}, {13, 16}};
    for (const auto& c : cases) {
        ListPtr list = MakeList(c.requested, 4, 4, ZULIST_OPT_FIXEDSIZE);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->itemSize, c.slot) << c.requested;
    }
    // Pointer and owned-item lists always have pointer-sized slots.
    EXPECT_EQ(MakeList(100, 4, 4, 0)->itemSize, 8u);
    EXPECT_EQ(MakeList(100, 4, 4, ZULIST_OPT_HEAPITEMS)->itemSize, 8u);
}

TEST(ListCreate, GrowByAndInitialCountAreClamped) {
    const struct {
        int32_t initial, growBy, allocated, step;
    } cases[] = {
        {-1, 2, 16, 4},              // below the minimum step of 4
        {16, 1, 16, 4},
        {16, 0, 16, 16},             // 0 counts as unset
        {16, 100000, 66560, 66560},  // above the maximum step
        {1, 4, 4, 4},                // initial count raised to 4
        {2, -1, 16, 16},
        {20, 8, 24, 8},              // capacity is whole steps
        {0, 5, 20, 5},
    };
    for (const auto& c : cases) {
        ListPtr list = MakeList(0, c.initial, c.growBy, 0);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->growBy, c.step) << c.initial << "/" << c.growBy;
        EXPECT_EQ(list->allocated, c.allocated) << c.initial << "/" << c.growBy;
    }
}

TEST(ListCreate, CapacityBeyondThirtyTwoBitsIsOutOfMemory) {
    // INT32_MAX rounded up to whole steps of 66,560 no longer fits a slot count.
    tZULIST* list = reinterpret_cast<tZULIST*>(uintptr_t{0x10});
    EXPECT_EQ(ZuList_CreateExZ(&list, 0, INT32_MAX, 0x10400, 0), E_OUTOFMEMORY);
    EXPECT_EQ(list, nullptr);
    ZuList_Destroy(list);
}

TEST(ListCreate, RefusedOptionsAndArguments) {
    tZULIST* list = reinterpret_cast<tZULIST*>(uintptr_t{0x10});
    EXPECT_EQ(ZuList_CreateExZ(&list, 8, -1, -1, ZULIST_OPT_HEAPITEMS | ZULIST_OPT_FIXEDSIZE), E_FAIL);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(ZuList_CreateExZ(nullptr, 8, -1, -1, 0), E_FAIL);
}

TEST(ListCreate, ModuleShapesKeepTheirOptions) {
    EXPECT_EQ(MakeList(8, -1, -1, 0x80000004u)->options, 0xC0000004u);
    EXPECT_EQ(MakeList(0, -1, -1, 0x80000000u)->options, 0xC0000000u);
    ListPtr owned = MakeList(0, -1, -1, 0x80000002u);
    EXPECT_EQ(owned->options, 0xC0000002u);
    EXPECT_EQ(owned->heapAllocFlags, 9u);
    EXPECT_EQ(owned->heapFreeFlags, 1u);
    EXPECT_EQ(owned->heap, nullptr);
    ListPtr cache = MakeList(0, -1, -1, 0x40000002u);
    EXPECT_EQ(cache->options, 0x40000002u);
    // A private heap only exists for owned-item lists.
    EXPECT_NE(MakeList(0, -1, -1, ZULIST_OPT_HEAPITEMS | ZULIST_OPT_PRIVATEHEAP)->heap, nullptr);
    EXPECT_EQ(MakeList(0, -1, -1, ZULIST_OPT_PRIVATEHEAP)->heap, nullptr);
}

// ---- Insertion ----

TEST(ListInsert, PositionsAndShifts) {
    ListPtr list = MakeList(0, -1, -1, 0);
    AppendPointers(list.get(), 1, 3);
    ASSERT_EQ(InsertPointer(list.get(), 1000, 99), S_OK);  // past the end: appended
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 2, 3, 99}));
    ASSERT_EQ(InsertPointer(list.get(), 0, 50), S_OK);
    ASSERT_EQ(InsertPointer(list.get(), 2, 60), S_OK);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{50, 1, 60, 2, 3, 99}));
    ASSERT_EQ(InsertPointer(list.get(), list->count, 70), S_OK);
    EXPECT_EQ(PointerAt(list.get(), list->count - 1), 70u);
}

TEST(ListInsert, SeveralSlotsAtOnceAndNegativeCounts) {
    ListPtr list = MakeList(0, 4, 4, 0);
    AppendPointers(list.get(), 1, 2);
    const uintptr_t block[9] = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    ASSERT_EQ(ZuList_InsertList(list.get(), 1, block, 9), S_OK);
    // 9 more slots than fit: the growth is the smallest multiple of 4 covering 9.
    EXPECT_EQ(list->allocated, 16);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 2}));
    // A negative count with a source inserts that many slots as well.
    ASSERT_EQ(ZuList_InsertList(list.get(), 0, block, -2), S_OK);
    EXPECT_EQ(list->count, 13);
    EXPECT_EQ(PointerAt(list.get(), 0), 10u);
    EXPECT_EQ(PointerAt(list.get(), 1), 11u);
    EXPECT_EQ(PointerAt(list.get(), 2), 1u);
    // Nothing to insert is a success without change.
    EXPECT_EQ(ZuList_InsertList(list.get(), 0, block, 0), S_OK);
    EXPECT_EQ(list->count, 13);
}

TEST(ListInsert, RefusedFormsChangeNothing) {
    ListPtr list = MakeList(0, -1, -1, 0);
    AppendPointers(list.get(), 1, 3);
    const auto bytes = SlotBytes(list.get());
    EXPECT_EQ(ZuList_InsertList(list.get(), 0, nullptr, 1), E_FAIL);
    EXPECT_EQ(ZuList_InsertList(list.get(), 0, nullptr, -1), E_FAIL);
    const uintptr_t v = 5;
    EXPECT_EQ(ZuList_InsertList(list.get(), 0, &v, INT32_MIN), E_FAIL);
    EXPECT_EQ(list->count, 3);
    EXPECT_EQ(SlotBytes(list.get()), bytes);
    EXPECT_EQ(ZuList_InsertList(nullptr, 0, &v, 1), E_FAIL);
}

TEST(ListInsert, SourceInsideTheListItself) {
    // Room to spare: the slots move up before the copy, which must still see
    // the values they had at the call.
    ListPtr list = MakeList(0, 8, 8, 0);
    AppendPointers(list.get(), 1, 3);
    ASSERT_EQ(ZuList_InsertList(list.get(), 0, SlotAt(list.get(), 1), 1), S_OK);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{2, 1, 2, 3}));
    // A full list: the growth frees the array the source points into.
    ListPtr full = MakeList(0, 4, 4, 0);
    AppendPointers(full.get(), 1, 4);
    ASSERT_EQ(ZuList_InsertList(full.get(), 1, SlotAt(full.get(), 2), 2), S_OK);
    EXPECT_EQ(Pointers(full.get()), (std::vector<uintptr_t>{1, 3, 4, 2, 3, 4}));
}

TEST(ListInsert, ArrayListCopiesItemsByValue) {
    struct Record {
        uint32_t a, b, c;
    };
    ListPtr list = MakeList(sizeof(Record), 4, 4, ZULIST_OPT_FIXEDSIZE);
    ASSERT_EQ(list->itemSize, 12u);
    for (uint32_t i = 0; i < 6; ++i) {
        Record r{i, i * 10, i * 100};
        ASSERT_EQ(ZuList_InsertList(list.get(), -1, &r, 1), S_OK);
    }
    Record middle{7, 70, 700};
    ASSERT_EQ(ZuList_InsertList(list.get(), 3, &middle, 1), S_OK);
    middle.a = 0;  // the list holds its own copy
    const uint32_t expected[] = {0, 1, 2, 7, 3, 4, 5};
    for (int i = 0; i < 7; ++i) {
        Record r{};
        std::memcpy(&r, SlotAt(list.get(), i), sizeof r);
        EXPECT_EQ(r.a, expected[i]);
        EXPECT_EQ(r.b, expected[i] * 10);
        EXPECT_EQ(r.c, expected[i] * 100);
    }
}

// ---- Deletion ----

TEST(ListDelete, RangesAreCappedAndVacatedSlotsZeroed) {
    ListPtr list = MakeList(0, -1, -1, 0);
    AppendPointers(list.get(), 1, 4);
    ASSERT_EQ(ZuList_DeleteList(list.get(), 2, 10, FALSE), S_OK);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 2}));
    EXPECT_TRUE(AllZero(SlotAt(list.get(), 2), 2 * 8));

    AppendPointers(list.get(), 3, 4);  // 1 2 3 4 5 6
    ASSERT_EQ(ZuList_DeleteList(list.get(), 1, 2, FALSE), S_OK);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 4, 5, 6}));
    EXPECT_TRUE(AllZero(SlotAt(list.get(), 4), 2 * 8));
    // A negative count deletes to the end.
    ASSERT_EQ(ZuList_DeleteList(list.get(), 2, -1, FALSE), S_OK);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 4}));
    EXPECT_EQ(list->allocated, 16);  // no shrink asked for
}

TEST(ListDelete, OutOfRangeFailsUnchanged) {
    ListPtr list = MakeList(0, -1, -1, 0);
    AppendPointers(list.get(), 1, 4);
    const auto bytes = SlotBytes(list.get());
    EXPECT_EQ(ZuList_DeleteList(list.get(), 4, 1, FALSE), E_FAIL);
    EXPECT_EQ(ZuList_DeleteList(list.get(), -1, 1, FALSE), E_FAIL);
    EXPECT_EQ(ZuList_DeleteList(list.get(), 5, -1, FALSE), E_FAIL);
    EXPECT_EQ(list->count, 4);
    EXPECT_EQ(SlotBytes(list.get()), bytes);
    // Nothing to delete succeeds, wherever it is.
    EXPECT_EQ(ZuList_DeleteList(list.get(), 100, 0, TRUE), S_OK);
    EXPECT_EQ(ZuList_DeleteList(list.get(), 4, -1, FALSE), S_OK);
    EXPECT_EQ(SlotBytes(list.get()), bytes);
    EXPECT_EQ(ZuList_DeleteList(nullptr, 0, 1, FALSE), E_FAIL);
}

TEST(ListDelete, ShrinkReleasesWholeStepsOfFreeCapacity) {
    ListPtr list = MakeList(0, 4, 4, 0);
    AppendPointers(list.get(), 1, 20);
    ASSERT_EQ(list->allocated, 20);
    // 16 in use, free capacity 4 = one step: nothing released.
    ASSERT_EQ(ZuList_DeleteList(list.get(), 16, 4, TRUE), S_OK);
    EXPECT_EQ(list->allocated, 20);
    // 6 in use, free capacity 14: three steps of 4 are released.
    ASSERT_EQ(ZuList_DeleteList(list.get(), 6, -1, TRUE), S_OK);
    EXPECT_EQ(list->allocated, 8);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{1, 2, 3, 4, 5, 6}));
    // Emptying keeps one slot, and the list grows again from there.
    ASSERT_EQ(ZuList_DeleteList(list.get(), 0, -1, TRUE), S_OK);
    EXPECT_EQ(list->count, 0);
    EXPECT_EQ(list->allocated, 1);
    AppendPointers(list.get(), 40, 6);
    EXPECT_EQ(list->allocated, 9);
    EXPECT_EQ(Pointers(list.get()), (std::vector<uintptr_t>{40, 41, 42, 43, 44, 45}));
}

// ---- Owned items ----

class OwnedList : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OwnedList, AllocatesCopiesAndFreesItems) {
    ListPtr list = MakeList(0, 4, 4, GetParam());
    uint32_t slot = 77;
    for (uint64_t v = 1; v <= 6; ++v) {
        ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), &v, sizeof v, -1, &slot), S_OK);
        EXPECT_EQ(slot, v - 1);
    }
    EXPECT_EQ(list->pendingItem, nullptr);
    // At an index within the list, and past its end (appended).
    const uint64_t front = 100, back = 200;
    ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), &front, sizeof front, 0, &slot), S_OK);
    EXPECT_EQ(slot, 0u);
    ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), &back, sizeof back, 1000, &slot), S_OK);
    EXPECT_EQ(slot, 7u);
    // Without data the block is zero-filled.
    ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), nullptr, 64, 1, nullptr), S_OK);
    void* blank = nullptr;
    std::memcpy(&blank, SlotAt(list.get(), 1), sizeof blank);
    EXPECT_TRUE(AllZero(static_cast<uint8_t*>(blank), 64));

    const uint64_t expected[] = {100, 0, 1, 2, 3, 4, 5, 6, 200};
    ASSERT_EQ(list->count, 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(ItemAt<uint64_t>(list.get(), i), expected[i]) << i;

    // Deleted items are freed by the list (the leak checker of the sanitizer
    // build holds the list to that); the rest are freed by its destruction.
    ASSERT_EQ(ZuList_DeleteList(list.get(), 1, 3, FALSE), S_OK);
    const uint64_t left[] = {100, 3, 4, 5, 6, 200};
    ASSERT_EQ(list->count, 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ItemAt<uint64_t>(list.get(), i), left[i]) << i;
}

TEST_P(OwnedList, PendingItemRules) {
    ListPtr list = MakeList(0, -1, -1, GetParam());
    ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), nullptr, 8, -1, nullptr), S_OK);
    EXPECT_EQ(list->pendingItem, nullptr);
    // No pending item: neither inserting nor freeing one is possible.
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, nullptr, -1), E_FAIL);
    EXPECT_EQ(ZuList_DeleteList(list.get(), -1, -1, FALSE), E_FAIL);
    EXPECT_EQ(list->count, 1);
}

INSTANTIATE_TEST_SUITE_P(Heaps, OwnedList,
                         ::testing::Values(ZULIST_OPT_HEAPITEMS, ZULIST_OPT_HEAPITEMS | ZULIST_OPT_PRIVATEHEAP,
                                           0x80000002u, 0x90000002u));

TEST(ListOwnedItems, HandOverIsTheOnlyDirectInsertion) {
    ListPtr list = MakeList(0, -1, -1, ZULIST_OPT_HEAPITEMS);
    void* items[2] = {std::calloc(1, 16), std::calloc(1, 16)};
    ASSERT_TRUE(items[0] && items[1]);
    ASSERT_EQ(ZuList_InsertList(list.get(), -1, items, -2), S_OK);  // the list owns them now
    EXPECT_EQ(PointerAt(list.get(), 0), reinterpret_cast<uintptr_t>(items[0]));
    EXPECT_EQ(PointerAt(list.get(), 1), reinterpret_cast<uintptr_t>(items[1]));

    void* stray = std::calloc(1, 16);
    ASSERT_NE(stray, nullptr);
    const auto bytes = SlotBytes(list.get());
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, &stray, 1), E_FAIL);
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, &stray, 0), E_FAIL);
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, nullptr, 1), E_FAIL);
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, nullptr, 0), E_FAIL);
    EXPECT_EQ(ZuList_InsertList(list.get(), -1, &stray, INT32_MIN), E_FAIL);
    EXPECT_EQ(list->count, 2);
    EXPECT_EQ(SlotBytes(list.get()), bytes);
    std::free(stray);
}

TEST(ListOwnedItems, AllocAndInsertOnOtherKindsFailsReportingMinusOne) {
    ListPtr array = MakeList(8, -1, -1, ZULIST_OPT_FIXEDSIZE);
    ListPtr pointers = MakeList(0, -1, -1, 0);
    const uint64_t v = 1;
    for (tZULIST* list : {array.get(), pointers.get()}) {
        uint32_t slot = 5;
        EXPECT_EQ(ZuList_AllocAndInsertItem(list, &v, sizeof v, -1, &slot), E_FAIL);
        EXPECT_EQ(slot, 0xFFFFFFFFu);
        EXPECT_EQ(list->count, 0);
        EXPECT_EQ(list->pendingItem, nullptr);
    }
    uint32_t slot = 5;
    EXPECT_EQ(ZuList_AllocAndInsertItem(nullptr, &v, sizeof v, -1, &slot), E_FAIL);
    EXPECT_EQ(slot, 0xFFFFFFFFu);
}

TEST(ListOwnedItems, FailedGrowthFreesTheNewItem) {
    // A list at the 32-bit slot limit cannot grow: the block allocated for the
    // item must not be left behind (the leak checker watches this one).
    ListPtr list = MakeList(0, 4, 4, ZULIST_OPT_HEAPITEMS);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(ZuList_AllocAndInsertItem(list.get(), nullptr, 8, -1, nullptr), S_OK);
    const int32_t allocated = list->allocated;
    list->allocated = INT32_MAX;
    list->count = INT32_MAX;
    uint32_t slot = 0;
    EXPECT_EQ(ZuList_AllocAndInsertItem(list.get(), nullptr, 8, -1, &slot), E_OUTOFMEMORY);
    EXPECT_EQ(slot, 0xFFFFFFFFu);
    EXPECT_EQ(list->pendingItem, nullptr);
    list->allocated = allocated;
    list->count = 4;
}

// ---- In-place headers and destruction ----

TEST(ListInPlace, HeaderInCallerStorage) {
    tZULIST storage;
    std::memset(&storage, 0xCD, sizeof storage);
    tZULIST* list = &storage;
    ASSERT_EQ(ZuList_CreateExZ(&list, 0, -1, -1, ZULIST_OPT_INPLACE | ZULIST_OPT_HEAPITEMS), S_OK);
    EXPECT_EQ(list, &storage);
    EXPECT_EQ(storage.options, ZULIST_OPT_INPLACE | ZULIST_OPT_HEAPITEMS | ZULIST_OPT_ANYTHREAD);
    // The storage was cleared, so the fields no step sets read zero.
    EXPECT_EQ(storage.userData, 0u);
    EXPECT_EQ(storage.sortContext, 0u);
    EXPECT_EQ(storage.pendingItem, nullptr);
    ASSERT_EQ(ZuList_AllocAndInsertItem(list, nullptr, 32, -1, nullptr), S_OK);
    // Destruction frees the items and the slot array but not the header.
    EXPECT_EQ(ZuList_Destroy(list), S_OK);
    EXPECT_EQ(storage.signature, 0u);
    EXPECT_EQ(storage.items, nullptr);
    // No longer a list.
    const void* p = nullptr;
    EXPECT_EQ(ZuList_InsertList(list, -1, &p, 1), E_FAIL);
    EXPECT_EQ(ZuList_Destroy(list), E_FAIL);
}

TEST(ListInPlace, NeedsStorage) {
    tZULIST* list = nullptr;
    EXPECT_EQ(ZuList_CreateExZ(&list, 0, -1, -1, ZULIST_OPT_INPLACE), E_FAIL);
    EXPECT_EQ(list, nullptr);
}

TEST(ListDestroy, NullSucceeds) { EXPECT_EQ(ZuList_Destroy(nullptr), S_OK); }

TEST(ListDestroy, OwnedItemsAreFreedWithTheList) {
    for (uint32_t options : {ZULIST_OPT_HEAPITEMS, ZULIST_OPT_HEAPITEMS | ZULIST_OPT_PRIVATEHEAP}) {
        tZULIST* list = nullptr;
        ASSERT_EQ(ZuList_CreateExZ(&list, 0, 4, 4, options), S_OK);
        for (int i = 0; i < 40; ++i) ASSERT_EQ(ZuList_AllocAndInsertItem(list, nullptr, 100 + i, -1, nullptr), S_OK);
        EXPECT_EQ(ZuList_Destroy(list), S_OK);
    }
}

// ---- Threads ----

#if ZU_TEST_HAS_THREADS
constexpr int kThreads = 4;
constexpr int kPerThread = 3000;

TEST(ListThreads, ConcurrentAppendsToAThreadSafePointerList) {
    ListPtr list = MakeList(0, -1, 4, 0x80000000u);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&list, t] {
            for (int i = 0; i < kPerThread; ++i) InsertPointer(list.get(), -1, static_cast<uintptr_t>(t) << 20 | i);
        });
    }
    for (auto& th : threads) th.join();
    ASSERT_EQ(list->count, kThreads * kPerThread);
    const auto values = Pointers(list.get());
    EXPECT_EQ(std::set<uintptr_t>(values.begin(), values.end()).size(), values.size());
    // Each thread's values keep their order.
    std::vector<int> next(kThreads, 0);
    for (uintptr_t v : values) {
        const int t = static_cast<int>(v >> 20);
        ASSERT_EQ(static_cast<int>(v & 0xFFFFF), next[t]++);
    }
}

TEST(ListThreads, ConcurrentItemAllocationsOnAPrivateHeap) {
    // The private heap is not serialised itself; the list's lock must cover it.
    ListPtr list = MakeList(0, -1, 4, 0x90000002u);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&list, t] {
            for (uint32_t i = 0; i < kPerThread; ++i) {
                const uint32_t v = static_cast<uint32_t>(t) << 20 | i;
                ZuList_AllocAndInsertItem(list.get(), &v, sizeof v, -1, nullptr);
                if (i % 7 == 0) ZuList_DeleteList(list.get(), 0, 1, TRUE);
            }
        });
    }
    for (auto& th : threads) th.join();
    const int deleted = kThreads * ((kPerThread + 6) / 7);
    ASSERT_EQ(list->count, kThreads * kPerThread - deleted);
    std::set<uint32_t> seen;
    for (int32_t i = 0; i < list->count; ++i) seen.insert(ItemAt<uint32_t>(list.get(), i));
    EXPECT_EQ(seen.size(), static_cast<size_t>(list->count));
}

TEST(ListThreads, UnsharedListRefusesOtherThreads) {
    ListPtr list = MakeList(0, -1, -1, 0);
    list->options &= ~ZULIST_OPT_ANYTHREAD;  // as a list of the library's own would be
    HRESULT insert = S_OK, remove = S_OK, destroy = S_OK;
    std::thread other([&] {
        insert = InsertPointer(list.get(), -1, 1);
        remove = ZuList_DeleteList(list.get(), 0, 1, FALSE);
        destroy = ZuList_Destroy(list.get());
    });
    other.join();
    EXPECT_EQ(insert, E_FAIL);
    EXPECT_EQ(remove, E_FAIL);
    EXPECT_EQ(destroy, E_FAIL);
    EXPECT_EQ(InsertPointer(list.get(), -1, 1), S_OK);  // the creating thread may
    EXPECT_EQ(list->count, 1);
}
#else
TEST(ListThreads, NeedThreads) { GTEST_SKIP() << "no std::thread in this build"; }
#endif

}  // namespace
