#include "plugin/plugin_info.h"

#include <cstring>

#include "zuinstr/zuinstr_guids.h"

namespace zu {
namespace {

// The display names are fixed texts, not localised: row 0 reads "Gig", while
// the GIG class's own localised texts read "GIG".
const WCHAR kGigName[] = ZU_TEXT("Gig Instrument");
const WCHAR kDlsName[] = ZU_TEXT("DLS Instrument");
const WCHAR kSf2Name[] = ZU_TEXT("SoundFont 2 Instrument");
constexpr uint32_t kReadAndRender = ZU_CLASS_CAN_READ | ZU_CLASS_CAN_RENDER;

const PluginClassRow kRows[kPluginClassCount] = {
    {&CLSID_ZuGigInstrument, kGigName, kReadAndRender, ZU_STREAM_TYPE_AUDIO, 0},
    {&CLSID_ZuDlsInstrument, kDlsName, kReadAndRender, ZU_STREAM_TYPE_AUDIO, 0},
    {&CLSID_ZuSf2Instrument, kSf2Name, kReadAndRender, ZU_STREAM_TYPE_AUDIO, 0},
};

}  // namespace

const PluginClassRow& PluginClassTable(int index) { return kRows[index]; }

HRESULT CZuUnsharedFIOPluginInfo::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuUnsharedFIOPluginInfo) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuUnsharedFIOPluginInfo*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;  // the out pointer stays as the caller left it
}

HRESULT CZuUnsharedFIOPluginInfo::GetClassCount(ULONG* count) {
    if (!count) return E_INVALIDARG;
    *count = kPluginClassCount;
    return S_OK;
}

HRESULT CZuUnsharedFIOPluginInfo::GetClassInfo(int32_t index, GUID* classId, WCHAR* name, int32_t nameCapacity,
                                               DWORD* capabilities, DWORD* streamType, DWORD*, DWORD*, DWORD*, DWORD*,
                                               DWORD* zeroWord, DWORD* flags) {
    if (index < 0 || index >= kPluginClassCount) return E_INVALIDARG;
    const PluginClassRow& row = kRows[index];
    if (classId) *classId = *row.classId;
    if (name && nameCapacity >= 1) {
        int32_t i = 0;
        for (; i < nameCapacity - 1 && row.displayName[i]; ++i) name[i] = row.displayName[i];
        name[i] = 0;
    }
    if (capabilities) *capabilities = row.capabilities;
    if (streamType) *streamType = row.streamType;
    if (zeroWord) *zeroWord = 0;
    if (flags) *flags = row.flags;
    return S_OK;
}

}  // namespace zu
