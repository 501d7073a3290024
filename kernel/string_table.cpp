// The language handle: finds each message in the language module beside the
// plug-in (when there is one) in the host's language, falls back to the
// module's own English table, and caches every text it delivered.
#include "kernel/string_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "zuinstr/zuinstr_list.h"

using zu::platform::CriticalSection;
using zu::platform::ModuleHandle;

struct ZuLangHandle {
    LCID lcid;
    uint32_t notEnglish;
    ModuleHandle instance;
    ModuleHandle stringModule;
    tZULIST* cache;  // records {u32 message number, UTF-16 text, terminator}, sorted by number
    CriticalSection lock;
    bool lockReady;
    WCHAR* scratch;
    uint32_t scratchChars;
};

namespace {

constexpr uint32_t kEnglish = 1033;
constexpr int kLoadBufferChars = 1024;
// The library's "already open" code: ERROR_ALREADY_EXISTS as an HRESULT.
constexpr HRESULT kAlreadyOpen = static_cast<HRESULT>(0x800700B7u);
const WCHAR kEmptyText[1] = {0};

// The library keeps a handle for its own texts beside the module's. It has no
// texts of its own here, so it exists for the whole process and only follows
// the language switches.
struct KernelLanguage {
    LCID lcid = 0;
    uint32_t notEnglish = 0;
};
KernelLanguage& KernelHandle() {
    static KernelLanguage handle;
    return handle;
}

uint32_t RecordNumber(const tZULIST* cache, int32_t i) {
    void* record = nullptr;
    std::memcpy(&record, static_cast<const uint8_t*>(cache->items) + static_cast<size_t>(i) * cache->itemSize, sizeof record);
    uint32_t number = 0;
    std::memcpy(&number, record, sizeof number);
    return number;
}

const WCHAR* RecordText(const tZULIST* cache, int32_t i) {
    void* record = nullptr;
    std::memcpy(&record, static_cast<const uint8_t*>(cache->items) + static_cast<size_t>(i) * cache->itemSize, sizeof record);
    return reinterpret_cast<const WCHAR*>(static_cast<const uint8_t*>(record) + sizeof(uint32_t));
}

// Binary search: the index of the record, or -(insertion point) - 1.
int32_t FindRecord(const tZULIST* cache, uint32_t number) {
    int32_t lo = 0, hi = cache->count - 1;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const uint32_t n = RecordNumber(cache, mid);
        if (n == number) return mid;
        if (n < number) lo = mid + 1;
        else hi = mid - 1;
    }
    return -lo - 1;
}

void ClearCache(ZuLangHandle* h) {
    if (h->cache && h->cache->count > 0) ZuList_DeleteList(h->cache, 0, -1, TRUE);
}

int CopyFound(const WCHAR* text, size_t length, WCHAR* buffer, int capacity) {
    const size_t n = length < static_cast<size_t>(capacity - 1) ? length : static_cast<size_t>(capacity - 1);
    std::memcpy(buffer, text, n * sizeof(WCHAR));
    buffer[n] = 0;
    return static_cast<int>(n);
}

// The language module is the module's own file with its extension replaced by "LNG".
std::u16string LanguageModulePath(ModuleHandle instance) {
    std::u16string path = zu::platform::ModulePath(instance);
    if (path.empty()) return path;
    const size_t sep = path.find_last_of(u"/\\");
    const size_t dot = path.find_last_of(u'.');
    if (dot != std::u16string::npos && (sep == std::u16string::npos || dot > sep)) path.resize(dot);
    return path + u".LNG";
}

}  // namespace

ZU_EXPORT_C HRESULT ZuLang_Open(HZULANG* outHandle, void* moduleInstance, LCID lcid, UINT scratchChars, UINT) {
    if (!outHandle) return E_POINTER;
    if (*outHandle) return kAlreadyOpen;
    void* block = std::calloc(1, sizeof(ZuLangHandle));
    if (!block) return E_OUTOFMEMORY;
    auto* h = static_cast<ZuLangHandle*>(block);
    ::new (&h->lock) CriticalSection();
    h->lockReady = true;
    h->instance = moduleInstance ? moduleInstance : zu::platform::SelfModule();
    h->scratchChars = scratchChars == 0 ? 8192 : (scratchChars < 2048 ? 2048 : scratchChars);
    h->scratch = static_cast<WCHAR*>(zu::platform::GlobalAllocZeroed(h->scratchChars * sizeof(WCHAR)));
    const HRESULT hr = ZuList_CreateExZ(&h->cache, 0, 16, 16, ZULIST_OPT_ANYTHREAD | ZULIST_OPT_HEAPITEMS);
    if (!h->scratch || FAILED(hr)) {
        ZuLang_Close(h);
        return E_OUTOFMEMORY;
    }
    if (lcid) h->lcid = lcid;
    h->stringModule = h->instance;
    const std::u16string lng = LanguageModulePath(h->instance);
    if (!lng.empty()) {
        if (ModuleHandle m = zu::platform::LoadLanguageModule(reinterpret_cast<const WCHAR*>(lng.c_str())))
            h->stringModule = m;
    }
    *outHandle = h;
    return S_OK;
}

ZU_EXPORT_C void ZuLang_Close(HZULANG h) {
    if (!h) return;
    if (h->stringModule && h->stringModule != h->instance) zu::platform::FreeLanguageModule(h->stringModule);
    zu::platform::GlobalFreeBlock(h->scratch);
    ZuList_Destroy(h->cache);
    if (h->lockReady) h->lock.~CriticalSection();
    std::free(h);
}

ZU_EXPORT_C LCID ZuLang_GetLCID(HZULANG h) { return h ? h->lcid : 0; }

ZU_EXPORT_C BOOL ZuLang_UpdateKernelLCID(HZULANG h, LCID lcid, UINT) {
    if (!h) return FALSE;
    if (lcid == 0) lcid = kEnglish;
    KernelLanguage& kernel = KernelHandle();
    if (lcid != h->lcid) {
        zu::platform::CriticalSectionGuard guard(h->lock);
        h->lcid = lcid;
        ClearCache(h);
    }
    kernel.lcid = lcid;
    const uint32_t primary = lcid & 0x3FF;
    h->notEnglish = kernel.notEnglish = primary != 9 ? 1 : 0;
    // Arabic, Hebrew, Urdu and Persian lay windows out right to left.
    zu::platform::SetDefaultLayoutRightToLeft(primary == 1 || primary == 13 || primary == 32 || primary == 41);
    return TRUE;
}

ZU_EXPORT_C int ZuLoadString(HZULANG h, UINT number, WCHAR* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    buffer[0] = 0;
    if (!h) return 0;
    const WCHAR* text = nullptr;
    size_t length = 0;
    int n = 0;
    const auto language = static_cast<uint16_t>(h->lcid & 0xFFFF);
    if (zu::platform::FindStringResource(h->stringModule, language, number, &text, &length)) {
        n = CopyFound(text, length, buffer, capacity);
    } else if (h->stringModule == h->instance) {
        if (zu::platform::FindStringResource(h->instance, kEnglish, number, &text, &length))
            n = CopyFound(text, length, buffer, capacity);
    } else {
        n = zu::platform::LoadStringDefault(h->instance, number, buffer, capacity);
    }
    if (n >= 2 && buffer[0] == '^' && buffer[1] == '*') {
        std::memmove(buffer, buffer + 2, static_cast<size_t>(n - 1) * sizeof(WCHAR));
        n -= 2;
    }
    return n;
}

ZU_EXPORT_C const WCHAR* ZuGetString(HZULANG h, UINT number) {
    if (!h || !h->cache) return kEmptyText;
    zu::platform::CriticalSectionGuard guard(h->lock);
    int32_t at = FindRecord(h->cache, number);
    if (at >= 0) return RecordText(h->cache, at);
    WCHAR text[kLoadBufferChars];
    const int n = ZuLoadString(h, number, text, kLoadBufferChars);
    if (n <= 0) return kEmptyText;  // failures are not cached: the next request searches again
    const size_t bytes = sizeof(uint32_t) + (static_cast<size_t>(n) + 1) * sizeof(WCHAR);
    uint8_t record[sizeof(uint32_t) + kLoadBufferChars * sizeof(WCHAR)];
    std::memcpy(record, &number, sizeof number);
    std::memcpy(record + sizeof number, text, (static_cast<size_t>(n) + 1) * sizeof(WCHAR));
    const int32_t insertAt = -at - 1;
    if (FAILED(ZuList_AllocAndInsertItem(h->cache, record, bytes, insertAt, nullptr))) return kEmptyText;
    return RecordText(h->cache, insertAt);
}
