// The plug-in information object: tells the host which format classes the
// module serves, without creating any of them.
#ifndef ZU_PLUGIN_PLUGIN_INFO_H
#define ZU_PLUGIN_PLUGIN_INFO_H

#include "plugin/com_object.h"
#include "zuinstr/zuinstr_interfaces.h"

namespace zu {

struct PluginClassRow {
    const GUID* classId;
    const WCHAR* displayName;
    uint32_t capabilities;
    uint32_t streamType;
    uint32_t flags;
};
constexpr int kPluginClassCount = 3;
const PluginClassRow& PluginClassTable(int index);

class CZuUnsharedFIOPluginInfo final : public IZuUnsharedFIOPluginInfo, public RefCounted<CZuUnsharedFIOPluginInfo> {
public:
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL Reserved1() override { return S_OK; }
    HRESULT ZU_STDCALL GetClassCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetClassInfo(int32_t index, GUID* classId, WCHAR* name, int32_t nameCapacity,
                                    DWORD* capabilities, DWORD* streamType, DWORD* further1, DWORD* further2,
                                    DWORD* further3, DWORD* further4, DWORD* zeroWord, DWORD* flags) override;
};

}  // namespace zu

#endif
