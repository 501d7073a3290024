// The render classes' one output format and the templates made from it: the
// default template, a host's template adapted for this module, the lookup of
// a template by its identifier, and what a template's audio part tells. Plain
// C++ over tagZUTEMPLATExV2 blocks; templates handed out come from the
// template routines' heap and are freed with ZuFio_FreeTemplate.
#ifndef ZU_RENDER_RENDER_TEMPLATES_H
#define ZU_RENDER_RENDER_TEMPLATES_H

#include <cstdint>

#include "zuinstr/zuinstr_audio.h"
#include "zuinstr/zuinstr_template.h"

namespace zu {

// One entry of the render format table.
struct RenderFormatEntry {
    uint32_t type;  // becomes the template's audio stream count
    WAVEFORMATEX format;
    uint32_t channelMask;
    GUID templateId;
};

// The table has exactly one entry: 16-bit stereo PCM at 44,100 Hz, null identifier.
uint32_t RenderFormatCount();
const RenderFormatEntry& RenderFormat(uint32_t index);  // index below RenderFormatCount()

// The default template of format entry 0, named by the module's message 1022.
HRESULT MakeDefaultRenderTemplate(tagZUTEMPLATExV2** out);

// Turns a host's template into one for the render classes (modes 0, 1, 2 and
// any other); *out is null on failure. 0x8004E00B for private data of a foreign
// class or a template with a video part in mode 1.
HRESULT AdaptRenderTemplate(tagZUTEMPLATExV2** out, const tagZUTEMPLATExV2* offered, uint32_t mode);

// The index of the format entry whose template identifier is id: S_OK, or
// S_FALSE and -1.
HRESULT FindRenderTemplate(const GUID& id, int32_t* index);

// What GetTemplateInfo answers about a template's audio part.
enum RenderTemplateInfoKind : uint32_t {
    kTemplateInfoWaveFormat = 0,   // the 72-byte _zuwaveformat that counts
    kTemplateInfoWfx = 1,          // that format as an 18-byte WAVEFORMATEX
    kTemplateInfoStreamCount = 2,  // the audio stream count, a 32-bit value
};
// S_OK with the answer in buffer; S_FALSE for a format asked of a template
// without audio (buffer untouched); E_POINTER, E_INVALIDARG for a malformed
// template or a buffer too small; E_NOTIMPL for any other kind.
HRESULT GetRenderTemplateInfo(const tagZUTEMPLATExV2* tmpl, void* buffer, uint32_t size, uint32_t kind);

}  // namespace zu

#endif
