// Render templates: making, copying and comparing tagZUTEMPLATExV2 blocks,
// deriving a template's content identifier, and bounds-checked views of a
// template's private data and texts for the module's own code.
#ifndef ZU_KERNEL_RENDER_TEMPLATE_H
#define ZU_KERNEL_RENDER_TEMPLATE_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zuinstr/zuinstr_template.h"

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
