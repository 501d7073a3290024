// What distinguishes the three instrument formats on the reading side: reader
// and renderer identities, the RIFF form a class accepts, and its texts.
#ifndef ZU_READER_FORMAT_IDENTITY_H
#define ZU_READER_FORMAT_IDENTITY_H

#include <cstddef>
#include <cstdint>

#include "kernel/string_resource_map.h"
#include "plugin/instrument_kind.h"

namespace zu {

struct FormatIdentity {
    InstrumentKind kind;
    const GUID* readerIdentity;
    const GUID* rendererIdentity;
    const ZuStringResourceMapRow* infoTexts;  // seven rows, identifiers 1..7
    UINT formatNameMessage;                   // the read file's text kind 1
    UINT streamFormatMessage;                 // the stream's text kind 1
};

const FormatIdentity& IdentityOf(InstrumentKind kind);

// Decides from the first bytes of a file whether it is an instrument of this
// kind: "RIFF", a non-zero size and the form type ("DLS " without a top-level
// "dlid" for DLS, with one for GIG, "sfbk" for SoundFont 2). S_OK or 0x8004E080.
HRESULT IdentifyInstrumentHeader(InstrumentKind kind, const uint8_t* header, size_t length);

// Reads the RIFF identification of a file: S_OK for any RIFF file, 0x8004E080
// when it cannot be opened or is not RIFF, 0x8004E008 on a short read.
HRESULT IdentifyRiffFile(const WCHAR* path);

}  // namespace zu

#endif
