// Process attach and detach: the module records its instance handle and opens
// its language handle on its own string resources; nothing else runs at load.
#include <atomic>

#include "plugin/module_state.h"

namespace {
std::atomic<zu::platform::ModuleHandle> g_instance{nullptr};
HZULANG g_language = nullptr;
}  // namespace

ZU_EXPORT_C void ZuKernel_EarlyInitialize(void*, UINT) {}
ZU_EXPORT_C void ZuKernel_LateTerminate(void*) {}

namespace zu {

void ModuleProcessAttach(platform::ModuleHandle instance) {
    g_instance.store(instance);
    g_language = nullptr;
    ZuKernel_EarlyInitialize(instance, 0);
    ZuLang_Open(&g_language, instance, 0, 0, 0);  // a failure leaves texts empty, nothing more
}

void ModuleProcessDetach() {
    if (g_language) {
        ZuLang_Close(g_language);
        g_language = nullptr;
    }
    ZuKernel_LateTerminate(g_instance.load());
    g_instance.store(nullptr);
}

platform::ModuleHandle ModuleInstance() {
    platform::ModuleHandle h = g_instance.load();
    return h ? h : platform::SelfModule();
}

HZULANG ModuleLanguage() {
    // A program that links the module's code statically has no process-attach
    // notification: it opens the handle on first use instead.
    if (!g_language && !g_instance.load()) {
        static const bool opened = [] {
            ZuLang_Open(&g_language, platform::SelfModule(), 0, 0, 0);
            return true;
        }();
        (void)opened;
    }
    return g_language;
}

}  // namespace zu
