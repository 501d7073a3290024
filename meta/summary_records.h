// Summary records: the INFO texts of a file as whole metadata records
// (MetaRecordHeader of kind GUID_SUMMARYLIST, then a SummaryItem: 12-byte
// head, UTF-16 text, terminator), built from a text or from the top-level
// "INFO" list of a RIFF file.
//
// A summary keeps two owned-item lists of 8-byte slots (created with options
// 0x80000002): `items` holds one SummaryItem block per text, `records` one
// whole record per text, both in the same order and without repeated FourCCs.
#ifndef ZU_META_SUMMARY_RECORDS_H
#define ZU_META_SUMMARY_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_meta.h"

namespace zu {

constexpr size_t kSummaryRecordHeadBytes = sizeof(MetaRecordHeader) + sizeof(SummaryItem);  // 40

// One whole summary record for the first `chars` characters of `text` (null
// counts as empty); the terminator is added. E_OUTOFMEMORY when memory runs
// out or the record could not be sized in 32 bits.
HRESULT BuildSummaryRecord(uint32_t fourCC, const WCHAR* text, size_t chars, std::vector<uint8_t>* record);

// The first SummaryItem block of that FourCC in `items`; null when absent.
const uint8_t* FindSummaryItem(const tZULIST* items, uint32_t fourCC);
// The text of a SummaryItem block and its length without the terminator.
const WCHAR* SummaryItemText(const uint8_t* item, size_t* chars);

}  // namespace zu

// ZuFMMeta_SetSummaryText and ZuFMMeta_fillSummaryFromFileEx, the exported
// operations on such lists, are declared in zuinstr/zuinstr_meta.h.

#endif
