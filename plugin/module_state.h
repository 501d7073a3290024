// Module-wide state set at process attach and cleared at process detach: the
// module's instance handle and its language handle.
#ifndef ZU_PLUGIN_MODULE_STATE_H
#define ZU_PLUGIN_MODULE_STATE_H

#include "kernel/string_table.h"
#include "platform/platform.h"

namespace zu {

void ModuleProcessAttach(platform::ModuleHandle instance);
void ModuleProcessDetach();

// The instance recorded at attach; in a program that links the module's code
// statically (the tests), the program itself.
platform::ModuleHandle ModuleInstance();
// The module's language handle; every localised text is fetched through it.
HZULANG ModuleLanguage();

}  // namespace zu

#endif
