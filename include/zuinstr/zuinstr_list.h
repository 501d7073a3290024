// zuinstr public host header: the shared growable list (tZULIST) and the
// exported operations a host may call on lists the module hands it.
#ifndef ZUINSTR_LIST_H
#define ZUINSTR_LIST_H

#include "zuinstr/zuinstr_types.h"

#define ZULIST_OPT_HEAPITEMS 0x00000002u    // owned-item list: the list allocates and frees its items
#define ZULIST_OPT_FIXEDSIZE 0x00000004u    // array list: items stored by value
#define ZULIST_OPT_INPLACE 0x00000008u      // header in caller storage
#define ZULIST_OPT_PRIVATEHEAP 0x10000000u  // owned items from a private heap
#define ZULIST_OPT_ANYTHREAD 0x40000000u    // any thread may use the list
#define ZULIST_OPT_THREADSAFE 0x80000000u   // every operation holds the list's lock
#define ZULIST_SIGNATURE 0x54525543u        // "CURT" in file order

// Hosts read count and items directly: slot i starts at items + i * itemSize.
struct tZULIST {
    int32_t count;
    uint32_t reserved0;
    uint64_t itemSize;
    void* items;
    unsigned char lock[40];  // a critical section, live only for thread-safe lists
    uint32_t signature;
    uint32_t options;
    uint64_t userData;
    uint64_t sortContext;
    uint32_t ownerThread;
    int32_t allocated;
    int32_t growBy;
    uint32_t reserved1;
    void* heap;
    uint32_t heapAllocFlags;
    uint32_t heapFreeFlags;
    void* pendingItem;
};
static_assert(sizeof(tZULIST) == 128, "tZULIST size");
static_assert(offsetof(tZULIST, itemSize) == 8 && offsetof(tZULIST, items) == 16, "tZULIST offsets");
static_assert(offsetof(tZULIST, signature) == 64 && offsetof(tZULIST, pendingItem) == 120, "tZULIST offsets");

ZU_EXPORT_C HRESULT ZuList_CreateExZ(tZULIST** outList, size_t itemSize, int32_t initialCount, int32_t growBy,
                                     uint32_t options);
ZU_EXPORT_C HRESULT ZuList_InsertList(tZULIST* list, int32_t index, const void* source, int32_t n);
ZU_EXPORT_C HRESULT ZuList_AllocAndInsertItem(tZULIST* list, const void* data, size_t size, int32_t index,
                                              uint32_t* outSlot);
ZU_EXPORT_C HRESULT ZuList_DeleteList(tZULIST* list, int32_t index, int32_t n, BOOL shrink);
ZU_EXPORT_C HRESULT ZuList_Destroy(tZULIST* list);

#endif
