#include "meta/summary_records.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "kernel/byte_order.h"
#include "meta/record_cursor.h"
#include "platform/platform.h"
#include "plugin/com_object.h"
#include "zuinstr/zuinstr_guids.h"

namespace zu {

namespace {

constexpr size_t kItemFourCCOffset = offsetof(SummaryItem, fourCC);
constexpr size_t kRecordFourCCOffset = sizeof(MetaRecordHeader) + kItemFourCCOffset;

// An INFO text is read up to its first zero, at most this many bytes: no real
// file comes near it, and a hostile size then costs 16 MB, not gigabytes.
constexpr uint32_t kMaxInfoTextBytes = 16u << 20;
constexpr uint32_t kTextBlockBytes = 4096;

bool IsSummaryList(const tZULIST* list) { return IsRecordList(list) && (list->options & ZULIST_OPT_HEAPITEMS); }

// Slot of the first block whose FourCC, at `offset`, equals `fourCC`; -1 when none.
int32_t FindSlot(const tZULIST* list, uint32_t fourCC, size_t offset) {
    const int32_t count = RecordCount(list);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* block = RecordAt(list, i);
        if (block && LoadLE32(block + offset) == fourCC) return i;
    }
    return -1;
}

HRESULT Append(tZULIST* list, const uint8_t* bytes, size_t size) {
    return SUCCEEDED(ZuList_AllocAndInsertItem(list, bytes, size, -1, nullptr)) ? S_OK : E_OUTOFMEMORY;
}

// ---- Reading the "INFO" list of a file ----

class InfoFile {
public:
    InfoFile(platform::FileHandle file, uint64_t size) : file_(file), size_(size) {}

    uint64_t size() const { return size_; }

    bool ReadAt(uint64_t position, void* buffer, uint32_t count) {
        if (position > size_ || size_ - position < count) return false;
        uint32_t done = 0;
        return platform::FileSetPosition(file_, position) && platform::FileRead(file_, buffer, count, &done) &&
               done == count;
    }

    // At most `available` bytes from `position`, up to the first zero.
    std::string ReadText(uint64_t position, uint64_t available) {
        std::string text;
        const uint64_t limit = std::min<uint64_t>(available, kMaxInfoTextBytes);
        if (limit == 0 || !platform::FileSetPosition(file_, position)) return text;
        char block[kTextBlockBytes];
        while (text.size() < limit) {
            const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kTextBlockBytes, limit - text.size()));
            uint32_t got = 0;
            if (!platform::FileRead(file_, block, want, &got) || got == 0) break;
            const char* zero = static_cast<const char*>(std::memchr(block, 0, got));
            text.append(block, zero ? static_cast<size_t>(zero - block) : got);
            if (zero || got < want) break;
        }
        return text;
    }

private:
    platform::FileHandle file_;
    uint64_t size_;
};

// Appends one text to both lists, each skipping a FourCC it already holds.
HRESULT AddFirstOccurrence(tZULIST* items, tZULIST* records, uint32_t fourCC, const std::u16string& text) {
    const bool needItem = FindSlot(items, fourCC, kItemFourCCOffset) < 0;
    const bool needRecord = FindSlot(records, fourCC, kRecordFourCCOffset) < 0;
    if (!needItem && !needRecord) return S_OK;
    std::vector<uint8_t> record;
    ZU_RETURN_IF_FAILED(
        BuildSummaryRecord(fourCC, reinterpret_cast<const WCHAR*>(text.data()), text.size(), &record));
    if (needItem) {
        ZU_RETURN_IF_FAILED(
            Append(items, record.data() + sizeof(MetaRecordHeader), record.size() - sizeof(MetaRecordHeader)));
    }
    if (needRecord) ZU_RETURN_IF_FAILED(Append(records, record.data(), record.size()));
    return S_OK;
}

HRESULT FillSummary(platform::FileHandle handle, tZULIST* items, tZULIST* records) {
    uint64_t fileSize = 0;
    if (!platform::FileSize(handle, &fileSize)) return ZU_E_FILE_READ;
    InfoFile file(handle, fileSize);
    uint8_t head[12];
    // Only a RIFF file has an "INFO" list to give; anything else counts as a
    // header that cannot be read.
    if (!file.ReadAt(0, head, sizeof head) || LoadLE32(head) != FourCC("RIFF")) return ZU_E_FILE_READ;

    // Every size below comes from the file: limits are computed in 64 bits and
    // never reach past the file's end.
    const uint64_t formEnd = std::min<uint64_t>(8u + static_cast<uint64_t>(LoadLE32(head + 4)), fileSize);
    // A form type reading "LIST" is followed by four more bytes before the
    // first chunk.
    uint64_t pos = LoadLE32(head + 8) == FourCC("LIST") ? 16 : 12;
    uint64_t listData = 0;
    uint64_t listEnd = 0;
    bool found = false;
    while (!found && pos + 8 <= formEnd) {
        uint8_t chunk[12];
        if (!file.ReadAt(pos, chunk, 8)) break;
        const uint32_t size = LoadLE32(chunk + 4);
        if (LoadLE32(chunk) == FourCC("LIST") && size >= 4 && pos + 12 <= formEnd && file.ReadAt(pos + 8, chunk + 8, 4) &&
            LoadLE32(chunk + 8) == FourCC("INFO")) {
            found = true;
            listData = pos + 12;
            listEnd = std::min<uint64_t>(pos + 8 + size, formEnd);
        }
        pos += 8 + static_cast<uint64_t>(size) + (size & 1u);
    }
    if (!found) return S_OK;

    pos = listData;
    while (pos + 8 <= listEnd) {
        uint8_t chunk[8];
        if (!file.ReadAt(pos, chunk, 8)) break;
        const uint32_t fourCC = LoadLE32(chunk);
        const uint32_t size = LoadLE32(chunk + 4);
        const uint64_t data = pos + 8;
        // A sub-chunk cut short by the list or the file gives what is there.
        std::u16string text;
        if (fourCC == FourCC("ifil") || fourCC == FourCC("iver")) {
            // A SoundFont version is two 16-bit words, not text: they travel as
            // two UTF-16 units, so a save writes back the same 4 bytes.
            uint8_t version[4] = {};
            if (size >= 4 && listEnd - data >= 4 && file.ReadAt(data, version, 4))
                text = {static_cast<char16_t>(LoadLE16(version)), static_cast<char16_t>(LoadLE16(version + 2))};
        } else {
            const std::string ansi = file.ReadText(data, std::min<uint64_t>(size, listEnd - data));
            text = platform::AnsiToU16(ansi.data(), ansi.size());
        }
        ZU_RETURN_IF_FAILED(AddFirstOccurrence(items, records, fourCC, text));
        pos = data + size + (size & 1u);
    }
    return S_OK;
}

}  // namespace

HRESULT BuildSummaryRecord(uint32_t fourCC, const WCHAR* text, size_t chars, std::vector<uint8_t>* record) {
    if (!record) return E_INVALIDARG;
    if (!text) chars = 0;
    // Every size of the record must fit its 32-bit fields.
    if (chars > (UINT32_MAX - kSummaryRecordHeadBytes) / 2 - 1) return E_OUTOFMEMORY;
    const uint32_t textBytes = static_cast<uint32_t>((chars + 1) * 2);
    try {
        record->assign(kSummaryRecordHeadBytes + textBytes, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    uint8_t* p = record->data();
    StoreLE32(p, sizeof(MetaRecordHeader));
    StoreLE32(p + 4, ZU_META_FORMAT_CODE);
    StoreLE32(p + 8, GUID_SUMMARYLIST.Data1);
    StoreLE16(p + 12, GUID_SUMMARYLIST.Data2);
    StoreLE16(p + 14, GUID_SUMMARYLIST.Data3);
    std::memcpy(p + 16, GUID_SUMMARYLIST.Data4, sizeof GUID_SUMMARYLIST.Data4);
    StoreLE32(p + 24, static_cast<uint32_t>(sizeof(SummaryItem)) + textBytes);
    uint8_t* item = p + sizeof(MetaRecordHeader);
    StoreLE32(item, sizeof(SummaryItem));
    StoreLE32(item + 4, fourCC);
    StoreLE32(item + 8, textBytes);
    uint8_t* out = item + sizeof(SummaryItem);
    for (size_t i = 0; i < chars; ++i) StoreLE16(out + 2 * i, static_cast<uint16_t>(text[i]));
    return S_OK;  // the terminator is already zero
}

const uint8_t* FindSummaryItem(const tZULIST* items, uint32_t fourCC) {
    return RecordAt(items, FindSlot(items, fourCC, kItemFourCCOffset));
}

const WCHAR* SummaryItemText(const uint8_t* item, size_t* chars) {
    if (chars) *chars = 0;
    if (!item) return nullptr;
    const uint32_t textBytes = LoadLE32(item + offsetof(SummaryItem, textBytes));
    if (chars && textBytes >= 2) *chars = textBytes / 2 - 1;
    return reinterpret_cast<const WCHAR*>(item + sizeof(SummaryItem));
}

}  // namespace zu

ZU_EXPORT_C HRESULT ZuFMMeta_SetSummaryText(tZULIST* items, tZULIST* records, uint32_t fourCC, const WCHAR* text) {
    using namespace zu;
    if (!IsSummaryList(items) || !IsSummaryList(records)) return E_INVALIDARG;
    std::vector<uint8_t> record;
    ZU_RETURN_IF_FAILED(BuildSummaryRecord(fourCC, text, text ? platform::WideLength(text) : 0, &record));
    const int32_t oldItem = FindSlot(items, fourCC, kItemFourCCOffset);
    const int32_t oldRecord = FindSlot(records, fourCC, kRecordFourCCOffset);
    // Append first and remove the old entries last, so that a failure leaves
    // both lists as they were. Appending does not move the old slots.
    ZU_RETURN_IF_FAILED(
        Append(items, record.data() + sizeof(MetaRecordHeader), record.size() - sizeof(MetaRecordHeader)));
    if (FAILED(Append(records, record.data(), record.size()))) {
        ZuList_DeleteList(items, items->count - 1, 1, FALSE);
        return E_OUTOFMEMORY;
    }
    if (oldItem >= 0) ZuList_DeleteList(items, oldItem, 1, FALSE);
    if (oldRecord >= 0) ZuList_DeleteList(records, oldRecord, 1, FALSE);
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuFMMeta_fillSummaryFromFileEx(void* fileHandle, tZULIST* items, tZULIST* records) {
    using namespace zu;
    // Null is the platform layer's closed handle; all ones is the system's
    // invalid handle value.
    if (!fileHandle || fileHandle == reinterpret_cast<void*>(~uintptr_t{0})) return ZU_E_FILE_OPEN;
    if (!IsSummaryList(items) || !IsSummaryList(records)) return E_INVALIDARG;
    try {
        return FillSummary(static_cast<platform::FileHandle>(fileHandle), items, records);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
