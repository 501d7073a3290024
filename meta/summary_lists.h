// The two summary lists of a metadata object (whole records, and their item
// parts), reference counted on their own: the streams a host reads over them
// keep them alive, whatever happens to the metadata object and its file.
#ifndef ZU_META_SUMMARY_LISTS_H
#define ZU_META_SUMMARY_LISTS_H

#include "plugin/com_object.h"
#include "zuinstr/zuinstr.h"

namespace zu {

class SummaryLists final : public IUnknown, public RefCounted<SummaryLists> {
public:
    // One reference for the caller; null when memory runs out.
    static SummaryLists* Create();
    ~SummaryLists();

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }

    tZULIST* records = nullptr;  // MetaRecordHeader + SummaryItem blocks
    tZULIST* items = nullptr;    // SummaryItem blocks
};

}  // namespace zu

#endif
