// zuinstr public host header: everything a host needs to load the module and
// drive it, without linking anything but the module itself.
//
// On Windows include <windows.h> (if at all) before this header.
#ifndef ZUINSTR_H
#define ZUINSTR_H

#include "zuinstr/zuinstr_types.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_list.h"
#include "zuinstr/zuinstr_audio.h"
#include "zuinstr/zuinstr_template.h"
#include "zuinstr/zuinstr_instrument.h"
#include "zuinstr/zuinstr_interfaces.h"
#include "zuinstr/zuinstr_meta.h"
#include "zuinstr/zuinstr_render.h"

#endif
