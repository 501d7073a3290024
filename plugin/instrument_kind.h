// The instrument format a class, container or instrument serves.
#ifndef ZU_PLUGIN_INSTRUMENT_KIND_H
#define ZU_PLUGIN_INSTRUMENT_KIND_H

#include <cstdint>

namespace zu {

enum InstrumentKind : uint32_t {
    kInstrumentDls = 0,
    kInstrumentGig = 1,
    kInstrumentSf2 = 2,
};

}  // namespace zu

#endif
