// Process attach and detach of the Linux shared object: a constructor and a
// destructor function stand in for DllMain.
#include "plugin/module_state.h"

namespace {

__attribute__((constructor)) void ZuSharedObjectAttach() { zu::ModuleProcessAttach(zu::platform::SelfModule()); }
__attribute__((destructor)) void ZuSharedObjectDetach() { zu::ModuleProcessDetach(); }

}  // namespace
