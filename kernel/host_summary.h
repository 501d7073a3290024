// Reading the summary texts (the "INFO" items) of a host's metadata object
// through its public interfaces only: the generic GUID_SUMMARYLIST stream
// when the object offers one, else its summary stream.
#ifndef ZU_KERNEL_HOST_SUMMARY_H
#define ZU_KERNEL_HOST_SUMMARY_H

#include <cstddef>
#include <cstdint>
#include <functional>

#include "zuinstr/zuinstr_types.h"

struct IStream;

namespace zu {

// Receives one item: its FourCC and its UTF-16 text up to the first zero.
using SummarySink = std::function<HRESULT(uint32_t fourCC, const WCHAR* text, size_t len)>;

// The item count of the object's summary stream; 0 when it has none or the
// stream cannot be read.
uint32_t CountHostSummaryItems(IUnknown* metadata);

// Hands every item of the object's summary to the sink in stream order.
// found tells whether a summary was there at all (an empty one counts).
// 0x8004E008 when a stream ends before what its headers announce; a failure
// of the sink is returned as it is.
HRESULT ReadHostSummary(IUnknown* metadata, const SummarySink& sink, bool* found);

}  // namespace zu

#endif
