// Render templates: one contiguous block per template, from the C runtime
// heap, so a template made here is freed here (ZuFio_FreeTemplate).
#include "kernel/render_template.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "kernel/byte_order.h"
#include "platform/platform.h"

namespace {

using WideString = std::basic_string<WCHAR>;

struct BlockFree {
    void operator()(void* block) const { std::free(block); }
};
using TemplateBlock = std::unique_ptr<tagZUTEMPLATExV2, BlockFree>;

// The bytes hashed for an identifier and copied by a template copy: audio part,
// video part and further settings.
constexpr size_t kContentOffset = offsetof(tagZUTEMPLATExV2, audioSectionSize);
constexpr size_t kContentBytes = offsetof(tagZUTEMPLATExV2, textChars) - kContentOffset;
static_assert(kContentOffset == 56 && kContentBytes == 472, "template content range");

constexpr size_t kAudioOffset = offsetof(tagZUTEMPLATExV2, audioSectionSize);
constexpr size_t kVideoOffset = offsetof(tagZUTEMPLATExV2, videoPart);
constexpr size_t kSettingsOffset = offsetof(tagZUTEMPLATExV2, settingsId);
constexpr size_t kTextCharsOffset = offsetof(tagZUTEMPLATExV2, textChars);

// The first template version's identifiers end in these bytes (6 to 15).
constexpr uint8_t kV1IdentifierTail[10] = {0x10, 0x10, 0x80, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00};

// _zuwaveformat fields read to tell whether the second format is set.
constexpr size_t kWaveSampleType = 4;
constexpr size_t kWaveFlags = 24;
constexpr size_t kWaveFormatTag = 28;
constexpr uint32_t kWaveExplicitTag = 8;

constexpr uint64_t RoundUp4(uint64_t n) { return (n + 3) & ~uint64_t{3}; }

uint8_t* BytesOf(tagZUTEMPLATExV2* t) { return reinterpret_cast<uint8_t*>(t); }
const uint8_t* BytesOf(const tagZUTEMPLATExV2* t) { return reinterpret_cast<const uint8_t*>(t); }

WideString CopyText(const WCHAR* text) {
    return text ? WideString(text, zu::platform::WideLength(text)) : WideString();
}

// Writes name, terminator, notes, terminator at the start of the text room and
// clears the rest of it; the caller has checked that both fit.
void WriteTexts(tagZUTEMPLATExV2* t, const zu::TemplateLayout& layout, const WideString& name,
                const WideString& notes) {
    auto* text = reinterpret_cast<WCHAR*>(BytesOf(t) + layout.textOffset);
    std::memset(text, 0, layout.textChars * sizeof(WCHAR));
    std::memcpy(text, name.data(), name.size() * sizeof(WCHAR));
    std::memcpy(text + name.size() + 1, notes.data(), notes.size() * sizeof(WCHAR));
}

// Everything ZuFio_MakeTemplate takes from its source into a different block.
void CopyFromSource(tagZUTEMPLATExV2* t, const tagZUTEMPLATExV2* source, uint32_t parts) {
    t->reserved8 = source->reserved8;
    t->formatIndex = source->formatIndex;
    t->templateId = source->templateId;
    std::memcpy(BytesOf(t) + kSettingsOffset, BytesOf(source) + kSettingsOffset, kTextCharsOffset - kSettingsOffset);
    if (parts & ZUTEMPLATE_PART_AUDIO)
        std::memcpy(BytesOf(t) + kAudioOffset, BytesOf(source) + kAudioOffset, kVideoOffset - kAudioOffset);
    if (parts & ZUTEMPLATE_PART_VIDEO)
        std::memcpy(BytesOf(t) + kVideoOffset, BytesOf(source) + kVideoOffset, kSettingsOffset - kVideoOffset);
    if (source->privateSize) {
        t->classId = source->classId;
        std::memcpy(BytesOf(t) + ZUTEMPLATE_FIXED_SIZE, BytesOf(source) + ZUTEMPLATE_FIXED_SIZE, source->privateSize);
    }
}

bool SameTemplate(const tagZUTEMPLATExV2* a, const tagZUTEMPLATExV2* b) {
    if (!a || !b) return a == b;
    if (a->cbSize != b->cbSize) return false;
    return a == b || std::memcmp(a, b, a->cbSize) == 0;
}

HRESULT MakeTemplate(tagZUTEMPLATExV2** ioTemplate, uint32_t flags, const tagZUTEMPLATExV2* source, uint32_t parts,
                     uint32_t extraPrivateBytes, const WCHAR* name, const WCHAR* notes) {
    if (!ioTemplate || !source) return E_POINTER;
    if (!zu::LayoutOfTemplate(source).valid) return E_INVALIDARG;
    // The texts are copied first: they may lie in the block rewritten below.
    // Notes are plain text here; a description section at their start is
    // kept as part of the text.
    const WideString nameText = CopyText(name);
    const WideString notesText = CopyText(notes);
    const uint64_t privateSize = uint64_t{source->privateSize} + extraPrivateBytes;
    const uint64_t textChars = uint64_t{nameText.size()} + notesText.size() + 2;
    const uint32_t blockSize = zu::TemplateBlockSize(privateSize, textChars);
    if (!blockSize) return E_INVALIDARG;

    tagZUTEMPLATExV2* old = *ioTemplate;
    const zu::TemplateLayout oldLayout = zu::LayoutOfTemplate(old);
    if (oldLayout.valid && old->textChars >= textChars && old->privateSize == privateSize) {
        if (old != source) {
            std::memset(BytesOf(old) + offsetof(tagZUTEMPLATExV2, formatIndex), 0,
                        kTextCharsOffset - offsetof(tagZUTEMPLATExV2, formatIndex));
            std::memset(BytesOf(old) + ZUTEMPLATE_FIXED_SIZE, 0, oldLayout.textOffset - ZUTEMPLATE_FIXED_SIZE);
            CopyFromSource(old, source, parts);
        }
        old->flags = flags;
        WriteTexts(old, oldLayout, nameText, notesText);
        return S_OK;
    }

    TemplateBlock block(static_cast<tagZUTEMPLATExV2*>(std::calloc(1, blockSize)));
    if (!block) return E_OUTOFMEMORY;
    block->cbSize = blockSize;
    block->textChars = static_cast<uint32_t>(textChars);
    block->privateSize = static_cast<uint32_t>(privateSize);
    block->flags = flags;
    // The source is read before the old block goes: they may be one block.
    CopyFromSource(block.get(), source, parts);
    WriteTexts(block.get(), zu::LayoutOfTemplate(block.get()), nameText, notesText);
    std::free(old);
    *ioTemplate = block.release();
    return S_OK;
}

HRESULT SetTemplate(tagZUTEMPLATExV2** ioTarget, tagZUTEMPLATExV2* source, uint32_t mode) {
    if (!ioTarget) return E_POINTER;
    tagZUTEMPLATExV2* target = *ioTarget;
    // The comparison describes the state before the call; the change follows.
    const HRESULT result = (mode & ZUTEMPLATE_SET_COMPARE) && SameTemplate(target, source) ? 1 : 0;
    if (!(mode & ZUTEMPLATE_SET_COPY)) {
        if (target != source) std::free(target);
        *ioTarget = source;
        return result;
    }
    if (!source) {
        std::free(target);
        *ioTarget = nullptr;
        return result;
    }
    if (!zu::LayoutOfTemplate(source).valid) return E_INVALIDARG;
    if (target && target != source && target->cbSize >= source->cbSize) {
        std::memcpy(target, source, source->cbSize);
        return result;
    }
    TemplateBlock block(static_cast<tagZUTEMPLATExV2*>(std::malloc(source->cbSize)));
    if (!block) return E_OUTOFMEMORY;
    std::memcpy(block.get(), source, source->cbSize);
    std::free(target);  // may be the source itself, whose bytes are now copied
    *ioTarget = block.release();
    return result;
}

HRESULT InitGuidFromHash(GUID* outId, const tagZUTEMPLATExV2* tmpl, BOOL includeTexts) {
    if (!outId || !tmpl) return E_POINTER;
    const zu::TemplateLayout layout = zu::LayoutOfTemplate(tmpl);
    if (!layout.valid) return E_INVALIDARG;
    if (!zu::platform::Md5Available()) return E_NOTIMPL;
    zu::platform::Md5 md5;
    if (!md5.ok()) return E_NOTIMPL;
    md5.Update(zu::kTemplateIdentifierSalt, sizeof(zu::kTemplateIdentifierSalt) - 1);
    md5.Update(BytesOf(tmpl) + kContentOffset, kContentBytes);
    if (layout.privateBytes) md5.Update(BytesOf(tmpl) + ZUTEMPLATE_FIXED_SIZE, layout.privateBytes);
    if (includeTexts) {
        const zu::TemplateText name = zu::TemplateName(tmpl);
        const zu::TemplateText notes = zu::TemplateNotes(tmpl);
        if (!name.empty()) md5.Update(name.data(), name.size() * sizeof(WCHAR));
        if (!notes.empty()) md5.Update(notes.data(), notes.size() * sizeof(WCHAR));
    }
    uint8_t digest[16];
    md5.Final(digest);
    // Marked as a name-based identifier: version 3, RFC 4122 variant.
    zu::StoreLE16(digest + 6, static_cast<uint16_t>(zu::LoadLE16(digest + 6) % 4096 + 0x3000));
    digest[8] = static_cast<uint8_t>(digest[8] % 64 + 128);
    outId->Data1 = zu::LoadLE32(digest);
    outId->Data2 = zu::LoadLE16(digest + 4);
    outId->Data3 = zu::LoadLE16(digest + 6);
    std::memcpy(outId->Data4, digest + 8, 8);
    return S_OK;
}

}  // namespace

namespace zu {

uint32_t TemplateBlockSize(uint64_t privateSize, uint64_t textChars) {
    if (privateSize > 0xFFFFFFFFu || textChars > 0xFFFFFFFFu) return 0;
    const uint64_t size = ZUTEMPLATE_FIXED_SIZE + RoundUp4(privateSize) + 2 * textChars;
    return size > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(size);
}

TemplateLayout LayoutOfTemplate(const tagZUTEMPLATExV2* tmpl) {
    TemplateLayout layout;
    if (!tmpl || tmpl->cbSize < ZUTEMPLATE_FIXED_SIZE) return layout;
    const uint32_t needed = TemplateBlockSize(tmpl->privateSize, tmpl->textChars);
    if (!needed || needed > tmpl->cbSize) return layout;
    layout.valid = true;
    layout.privateBytes = tmpl->privateSize;
    layout.textOffset = ZUTEMPLATE_FIXED_SIZE + static_cast<size_t>(RoundUp4(tmpl->privateSize));
    layout.textChars = tmpl->textChars;
    return layout;
}

const uint8_t* TemplatePrivateData(const tagZUTEMPLATExV2* tmpl) {
    const TemplateLayout layout = LayoutOfTemplate(tmpl);
    return layout.valid && layout.privateBytes ? BytesOf(tmpl) + ZUTEMPLATE_FIXED_SIZE : nullptr;
}

namespace {

// The text starting at unit `first` of the text room, up to its terminator.
TemplateText TextAt(const tagZUTEMPLATExV2* tmpl, size_t first) {
    const TemplateLayout layout = LayoutOfTemplate(tmpl);
    if (!layout.valid || first >= layout.textChars) return TemplateText();
    const auto* room = reinterpret_cast<const WCHAR*>(BytesOf(tmpl) + layout.textOffset);
    size_t end = first;
    while (end < layout.textChars && room[end] != 0) ++end;
    return TemplateText(room + first, end - first);
}

}  // namespace

TemplateText TemplateName(const tagZUTEMPLATExV2* tmpl) { return TextAt(tmpl, 0); }

TemplateText TemplateNotes(const tagZUTEMPLATExV2* tmpl) { return TextAt(tmpl, TemplateName(tmpl).size() + 1); }

const uint8_t* TemplateAudioFormat(const tagZUTEMPLATExV2* tmpl) {
    if (!tmpl) return nullptr;
    const uint8_t* second = tmpl->audioFormat2;
    const bool set = (LoadLE32(second + kWaveFlags) & kWaveExplicitTag) ? LoadLE16(second + kWaveFormatTag) != 0
                                                                        : LoadLE32(second + kWaveSampleType) != 0;
    return set ? second : tmpl->audioFormat;
}

}  // namespace zu

ZU_EXPORT_C HRESULT ZuFio_MakeTemplate(tagZUTEMPLATExV2** ioTemplate, uint32_t flags, const tagZUTEMPLATExV2* source,
                                       uint32_t parts, uint32_t extraPrivateBytes, const WCHAR* name,
                                       const WCHAR* notes) {
    try {
        return MakeTemplate(ioTemplate, flags, source, parts, extraPrivateBytes, name, notes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

ZU_EXPORT_C HRESULT ZuFio_SetTemplate(tagZUTEMPLATExV2** ioTarget, tagZUTEMPLATExV2* source, uint32_t mode) {
    return SetTemplate(ioTarget, source, mode);
}

ZU_EXPORT_C HRESULT ZuFio_InitGUIDFromTemplateMD5DataHash(GUID* outId, const tagZUTEMPLATExV2* tmpl,
                                                          BOOL includeTexts) {
    return InitGuidFromHash(outId, tmpl, includeTexts);
}

ZU_EXPORT_C BOOL ZuFio_IsUpliftedV1Template(const tagZUTEMPLATExV2* tmpl) {
    if (!tmpl || tmpl->flags != ZUTEMPLATE_FLAGS_ADAPTED) return FALSE;
    const uint8_t* id = reinterpret_cast<const uint8_t*>(&tmpl->templateId);
    return std::memcmp(id + 6, kV1IdentifierTail, sizeof kV1IdentifierTail) == 0 ? TRUE : FALSE;
}

ZU_EXPORT_C void ZuFio_FreeTemplate(tagZUTEMPLATExV2* tmpl) { std::free(tmpl); }
