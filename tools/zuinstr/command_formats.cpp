// zuinstr formats: the module's format classes, from its plug-in information
// object, as a host discovers them.
#include <cstdio>

#include "cli.h"
#include "module_session.h"

namespace zutool {

int RunFormats(const Args& args) {
    ModuleSession session;
    if (!session.Open(args)) return kExitRefused;
    IZuUnsharedFIOPluginInfo* info = nullptr;
    HRESULT hr = session.module().Create(CLSID_ZuUnsharedFIOPluginInfo, IID_IZuUnsharedFIOPluginInfo,
                                         reinterpret_cast<void**>(&info));
    if (FAILED(hr)) return session.Refused("the plug-in information object", hr);
    ULONG count = 0;
    info->GetClassCount(&count);
    const bool json = args.Has("--json");
    if (json) std::printf("{\"module\": %s, \"formats\": [", JsonString(session.module().path()).c_str());
    for (ULONG i = 0; i < count; ++i) {
        GUID id{};
        WCHAR name[128] = {0};
        DWORD caps = 0, type = 0, zero = 0, flags = 0;
        hr = info->GetClassInfo(static_cast<int32_t>(i), &id, name, 128, &caps, &type, nullptr, nullptr, nullptr,
                                nullptr, &zero, &flags);
        if (FAILED(hr)) continue;
        std::string capText;
        if (caps & ZU_CLASS_CAN_READ) capText += "read";
        if (caps & ZU_CLASS_CAN_RENDER) capText += capText.empty() ? "render" : ", render";
        if (json) {
            std::printf("%s{\"classId\": \"%s\", \"name\": %s, \"capabilities\": %lu, \"read\": %s, \"render\": %s, "
                        "\"streamType\": %lu, \"flags\": %lu}",
                        i ? ", " : "", GuidText(id).c_str(), JsonString(Utf8(name)).c_str(),
                        static_cast<unsigned long>(caps), (caps & ZU_CLASS_CAN_READ) ? "true" : "false",
                        (caps & ZU_CLASS_CAN_RENDER) ? "true" : "false", static_cast<unsigned long>(type),
                        static_cast<unsigned long>(flags));
        } else {
            if (i == 0) std::printf("%-40s  %-24s  %s\n", "Class identifier", "Name", "Capabilities");
            std::printf("%-40s  %-24s  %s (0x%02lX), stream type %lu\n", GuidText(id).c_str(), Utf8(name).c_str(),
                        capText.c_str(), static_cast<unsigned long>(caps), static_cast<unsigned long>(type));
        }
    }
    if (json) std::printf("]}\n");
    info->Release();
    return kExitOk;
}

}  // namespace zutool
