// The summary metadata writer used after a render: the host's summary texts
// become the "INFO" list at the end of the written RIFF file and of a side
// file "<media>.zul" beside it. The exported entry points are declared in
// zuinstr/zuinstr_render.h.
#ifndef ZU_KERNEL_META_WRITER_H
#define ZU_KERNEL_META_WRITER_H

#include "platform/platform.h"
#include "zuinstr/zuinstr_types.h"

namespace zu {

// Metadata kind bit of the summary ("INFO" list); the only kind written here.
constexpr ULONG kMetaKindSummary = 0x1;

// Appends the host's summary as one "INFO" list at the end of the form of
// an open RIFF file. Nothing is written for an empty or missing summary.
HRESULT WriteSummaryList(platform::FileHandle file, IUnknown* metadata);

}  // namespace zu

#endif
