// Render templates: making, copying and comparing tagZUTEMPLATExV2 blocks,
// deriving a template's content identifier, and bounds-checked views of a
// template's private data and texts for the module's own code.
#ifndef ZU_KERNEL_RENDER_TEMPLATE_H
#define ZU_KERNEL_RENDER_TEMPLATE_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zuinstr/zuinstr_template.h"

// Makes a template from source, or refills the block *ioTemplate already
// holds when it has room for the texts and exactly the new private size:
// flags from the argument; reserved8, formatIndex, templateId and the further
// settings from source; the audio part with ZUTEMPLATE_PART_AUDIO, the video
// part with ZUTEMPLATE_PART_VIDEO; classId and the private data when source has
// private data, followed by extraPrivateBytes zero bytes. Null texts are empty.
// A replaced block is freed (it may be source itself).
// E_POINTER without ioTemplate or source, E_INVALIDARG for a source whose
// sizes do not fit its cbSize, E_OUTOFMEMORY.
ZU_EXPORT_C HRESULT ZuFio_MakeTemplate(tagZUTEMPLATExV2** ioTemplate, uint32_t flags, const tagZUTEMPLATExV2* source,
                                       uint32_t parts, uint32_t extraPrivateBytes, const WCHAR* name,
                                       const WCHAR* notes);

// Sets *ioTarget to source. With ZUTEMPLATE_SET_COMPARE the result is 1 when
// the target equalled the source before the call (both null, or equal cbSize
// and the same block or the same bytes), else 0; without it the result is 0.
// With ZUTEMPLATE_SET_COPY the target receives a copy of source (in place when
// its block is at least as large, else in a new block; a null source frees the
// target); without it the target takes over the source block itself.
// E_POINTER without ioTarget, E_INVALIDARG for a source to copy that is not a
// template, E_OUTOFMEMORY.
ZU_EXPORT_C HRESULT ZuFio_SetTemplate(tagZUTEMPLATExV2** ioTarget, tagZUTEMPLATExV2* source, uint32_t mode);

// Derives a name-based (version 3) identifier from an MD5 digest of the
// template's audio part, video part, further settings and private data, and
// with includeTexts of its non-empty name and notes. E_NOTIMPL when the
// platform offers no MD5; E_POINTER, E_INVALIDARG for a malformed template.
ZU_EXPORT_C HRESULT ZuFio_InitGUIDFromTemplateMD5DataHash(GUID* outId, const tagZUTEMPLATExV2* tmpl,
                                                          BOOL includeTexts);

// True for a template converted from the framework's first template version:
// flags exactly ZUTEMPLATE_FLAGS_ADAPTED and the identifier ending in the
// first version's fixed bytes.
ZU_EXPORT_C BOOL ZuFio_IsUpliftedV1Template(const tagZUTEMPLATExV2* tmpl);

// Frees a template the module made or copied. Null is accepted.
ZU_EXPORT_C void ZuFio_FreeTemplate(tagZUTEMPLATExV2* tmpl);

namespace zu {

// Salts every identifier derived from a template's content, so that equal
// bytes hashed by other software never give the same identifiers.
inline constexpr char kTemplateIdentifierSalt[] = "zuinstr render template v2.0";
static_assert(sizeof(kTemplateIdentifierSalt) - 1 == 28, "the identifier salt is 28 bytes");

using TemplateText = std::basic_string_view<WCHAR>;

// Where a template's variable parts lie; valid is false when they do not fit
// the block its cbSize describes.
struct TemplateLayout {
    bool valid = false;
    size_t privateBytes = 0;  // privateSize, without padding
    size_t textOffset = 0;
    size_t textChars = 0;
};
TemplateLayout LayoutOfTemplate(const tagZUTEMPLATExV2* tmpl);

// Bytes a template with these sizes needs, or 0 when that passes 32 bits.
uint32_t TemplateBlockSize(uint64_t privateSize, uint64_t textChars);

const uint8_t* TemplatePrivateData(const tagZUTEMPLATExV2* tmpl);  // null without private data
// The texts, each ending at its terminator or at the end of the text room.
TemplateText TemplateName(const tagZUTEMPLATExV2* tmpl);
TemplateText TemplateNotes(const tagZUTEMPLATExV2* tmpl);

// The 72-byte wave format that counts: the second one when it is set.
const uint8_t* TemplateAudioFormat(const tagZUTEMPLATExV2* tmpl);

}  // namespace zu

#endif
