// zuinstr public host header: the render template record (tagZUTEMPLATExV2),
// the host framework's description of one way to save a file.
//
// A template is one contiguous little-endian block:
//   0..535    the fixed part below
//   536..     privateSize bytes of the owning class's private data, padded to a
//             multiple of 4
//   then      textChars UTF-16 code units: the name, its terminator, the notes
//             and their terminator (unused room is zero)
// cbSize counts the whole block. Templates made or copied by the module come
// from the module's C runtime heap; hand them back with ZuFio_FreeTemplate.
#ifndef ZUINSTR_TEMPLATE_H
#define ZUINSTR_TEMPLATE_H

#include "zuinstr/zuinstr_types.h"

#define ZUTEMPLATE_FLAGS_DEFAULT 0x02020000u  // the plug-in's own default template
#define ZUTEMPLATE_FLAGS_ADAPTED 0x02000000u  // a template adapted from a host template

#define ZUTEMPLATE_PART_AUDIO 0x1u  // ZuFio_MakeTemplate: copy the audio part
#define ZUTEMPLATE_PART_VIDEO 0x2u  // ZuFio_MakeTemplate: copy the video part

#define ZUTEMPLATE_SET_COMPARE 0x10000u  // ZuFio_SetTemplate: report whether target equals source
#define ZUTEMPLATE_SET_COPY 0x20000u     // ZuFio_SetTemplate: copy instead of taking the source over

#define ZUTEMPLATE_FIXED_SIZE 536u          // bytes before the private data
#define ZUTEMPLATE_AUDIO_SECTION_SIZE 200u  // size word of the audio part
#define ZUTEMPLATE_VIDEO_SECTION_SIZE 200u  // size word of a present video part

#pragma pack(push, 1)
struct tagZUTEMPLATExV2 {
    uint32_t cbSize;       // the whole block, texts included
    uint32_t flags;        // ZUTEMPLATE_FLAGS_*
    uint32_t reserved8;    // the host framework's; passed on unchanged
    uint32_t formatIndex;  // index of the render format the template was made from
    uint8_t reserved16[8];
    GUID classId;     // class owning the private data; kept only together with private data
    GUID templateId;  // null for a default template; content-derived for adapted ones

    // Audio part, 56..255.
    uint32_t audioSectionSize;  // ZUTEMPLATE_AUDIO_SECTION_SIZE
    uint32_t audioStreamCount;  // 0: the template has no audio
    uint8_t audioReserved64[8];
    // Each format holds a _zuwaveformat: its 36-byte fixed part and room for
    // 36 more (the extra-size word and up to 34 extra bytes). The second one
    // counts when it is set: a non-zero formatTag in the explicit-tag form
    // (flag 8), otherwise a non-zero sampleType.
    uint8_t audioFormat[72];
    uint8_t audioFormat2[72];
    uint8_t audioExtension[32];  // as in the stream format record
    uint8_t audioReserved248[8];

    // Video part, 256..455: size word ZUTEMPLATE_VIDEO_SECTION_SIZE at its start
    // when present.
    uint8_t videoPart[200];

    // Further settings of the host framework, 456..527, passed on unchanged.
    GUID settingsId;
    uint8_t settingsData[48];
    double settingsValue;

    uint32_t textChars;    // room for both texts in UTF-16 units, terminators included
    uint32_t privateSize;  // bytes of private data
    // Private data from offset 536, then the texts.
};
#pragma pack(pop)

typedef tagZUTEMPLATExV2 ZUTEMPLATExV2;

static_assert(sizeof(tagZUTEMPLATExV2) == ZUTEMPLATE_FIXED_SIZE, "tagZUTEMPLATExV2 fixed part");
static_assert(offsetof(tagZUTEMPLATExV2, cbSize) == 0 && offsetof(tagZUTEMPLATExV2, flags) == 4, "template offsets");
static_assert(offsetof(tagZUTEMPLATExV2, reserved8) == 8 && offsetof(tagZUTEMPLATExV2, formatIndex) == 12,
              "template offsets");
static_assert(offsetof(tagZUTEMPLATExV2, reserved16) == 16, "template offsets");
static_assert(offsetof(tagZUTEMPLATExV2, classId) == 24 && offsetof(tagZUTEMPLATExV2, templateId) == 40,
              "template offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioSectionSize) == 56 && offsetof(tagZUTEMPLATExV2, audioStreamCount) == 60,
              "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioReserved64) == 64, "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioFormat) == 72 && sizeof(tagZUTEMPLATExV2::audioFormat) == 72,
              "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioFormat2) == 144 && sizeof(tagZUTEMPLATExV2::audioFormat2) == 72,
              "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioExtension) == 216 && sizeof(tagZUTEMPLATExV2::audioExtension) == 32,
              "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, audioReserved248) == 248, "template audio offsets");
static_assert(offsetof(tagZUTEMPLATExV2, videoPart) == 256 && sizeof(tagZUTEMPLATExV2::videoPart) == 200,
              "template video offsets");
static_assert(offsetof(tagZUTEMPLATExV2, settingsId) == 456 && offsetof(tagZUTEMPLATExV2, settingsData) == 472 &&
                  offsetof(tagZUTEMPLATExV2, settingsValue) == 520,
              "template settings offsets");
static_assert(offsetof(tagZUTEMPLATExV2, textChars) == 528 && offsetof(tagZUTEMPLATExV2, privateSize) == 532,
              "template size offsets");

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

#endif
