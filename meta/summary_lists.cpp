#include "meta/summary_lists.h"

namespace zu {

SummaryLists* SummaryLists::Create() {
    SummaryLists* lists = ZuNew<SummaryLists>();
    if (!lists) return nullptr;
    const uint32_t options = ZULIST_OPT_THREADSAFE | ZULIST_OPT_HEAPITEMS;
    if (FAILED(ZuList_CreateExZ(&lists->records, 8, -1, -1, options)) ||
        FAILED(ZuList_CreateExZ(&lists->items, 8, -1, -1, options))) {
        ZuDelete(lists);
        return nullptr;
    }
    lists->AddRef();
    return lists;
}

SummaryLists::~SummaryLists() {
    for (tZULIST* list : {records, items}) {
        if (!list) continue;
        ZuList_DeleteList(list, 0, -1, TRUE);
        ZuList_Destroy(list);
    }
}

HRESULT SummaryLists::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (!ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IUnknown*>(this);
    return S_OK;
}

}  // namespace zu
