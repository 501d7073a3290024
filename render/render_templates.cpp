#include "render/render_templates.h"

#include <cstring>
#include <memory>
#include <string>

#include "kernel/byte_order.h"
#include "kernel/render_template.h"
#include "kernel/string_table.h"
#include "plugin/module_state.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_render.h"

namespace zu {
namespace {

constexpr UINT kDefaultTemplateNameMessage = 1022;  // "Default Template"

const RenderFormatEntry kFormats[] = {
    {1, {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}, 0, GUID{}},
};

struct TemplateFree {
    void operator()(tagZUTEMPLATExV2* t) const { ZuFio_FreeTemplate(t); }
};
using TemplatePtr = std::unique_ptr<tagZUTEMPLATExV2, TemplateFree>;
using WideString = std::basic_string<WCHAR>;

bool IsNullGuid(const GUID& g) { return ZuGuidEqual(g, GUID{}); }

bool IsRecognisedClass(const GUID& g) {
    return ZuGuidEqual(g, ZU_TEMPLATE_CLASS_DEFAULT) || ZuGuidEqual(g, ZU_TEMPLATE_CLASS_OTHER);
}

bool HasVideoPart(const tagZUTEMPLATExV2* t) { return LoadLE32(t->videoPart) != 0; }

WideString LocalName() {
    const WCHAR* text = ZuGetString(ModuleLanguage(), kDefaultTemplateNameMessage);
    return text ? WideString(text) : WideString();
}

// Adapted templates are identified by their settings alone, so renaming a
// template keeps its identity. Without MD5 the identifier stays null, the
// identifier of the one format entry, which is what such a template is.
void DeriveIdentifier(tagZUTEMPLATExV2* t) {
    GUID id{};
    if (FAILED(ZuFio_InitGUIDFromTemplateMD5DataHash(&id, t, FALSE))) id = GUID{};
    t->templateId = id;
}

// A copy of a template without its private data (and so without a class
// identifier), with the given flags; texts and every other part are kept.
HRESULT CopyWithoutPrivateData(const tagZUTEMPLATExV2* source, uint32_t flags, TemplatePtr* out) {
    tagZUTEMPLATExV2 fixed;
    std::memcpy(&fixed, source, sizeof fixed);
    fixed.cbSize = ZUTEMPLATE_FIXED_SIZE;
    fixed.privateSize = 0;
    fixed.textChars = 0;
    const TemplateText name = TemplateName(source);
    const TemplateText notes = TemplateNotes(source);
    const WideString nameText(name.data(), name.size());
    const WideString notesText(notes.data(), notes.size());
    tagZUTEMPLATExV2* copy = nullptr;
    const HRESULT hr = ZuFio_MakeTemplate(&copy, flags, &fixed, ZUTEMPLATE_PART_AUDIO | ZUTEMPLATE_PART_VIDEO, 0,
                                          nameText.c_str(), notesText.c_str());
    out->reset(copy);
    if (FAILED(hr)) return hr;
    return copy ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

uint32_t RenderFormatCount() { return static_cast<uint32_t>(sizeof kFormats / sizeof kFormats[0]); }

const RenderFormatEntry& RenderFormat(uint32_t index) { return kFormats[index < RenderFormatCount() ? index : 0]; }

HRESULT MakeDefaultRenderTemplate(tagZUTEMPLATExV2** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const RenderFormatEntry& entry = kFormats[0];
    tagZUTEMPLATExV2 source;
    std::memset(&source, 0, sizeof source);
    source.cbSize = ZUTEMPLATE_FIXED_SIZE;
    source.flags = ZUTEMPLATE_FLAGS_DEFAULT;
    source.formatIndex = 0;
    // The template routines keep a class identifier only with private data:
    // the finished template carries none.
    source.classId = ZU_TEMPLATE_CLASS_DEFAULT;
    source.templateId = entry.templateId;
    source.audioSectionSize = ZUTEMPLATE_AUDIO_SECTION_SIZE;
    source.audioStreamCount = entry.type;
    _zuwaveformatmax format{};
    const HRESULT init = ZuAudio_InitWaveFormat(&format.format, sizeof source.audioFormat, &entry.format);
    if (FAILED(init)) return init;
    if (entry.channelMask) {
        format.format.flags |= ZUWF_FLAG_CHANNELMASK;
        format.format.channelMask = entry.channelMask;
    }
    std::memcpy(source.audioFormat, &format, sizeof source.audioFormat);
    const WideString name = LocalName();
    return ZuFio_MakeTemplate(out, ZUTEMPLATE_FLAGS_DEFAULT, &source, ZUTEMPLATE_PART_AUDIO, 0, name.c_str(), nullptr);
}

HRESULT AdaptRenderTemplate(tagZUTEMPLATExV2** out, const tagZUTEMPLATExV2* offered, uint32_t mode) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!offered || !LayoutOfTemplate(offered).valid) return E_INVALIDARG;
    const bool hasPrivateData = offered->privateSize != 0;

    // A first-version template of a recognised class converted by the host is
    // adapted as if the host had asked for mode 1.
    if (mode == 0 && ZuFio_IsUpliftedV1Template(offered) && hasPrivateData && IsRecognisedClass(offered->classId))
        mode = 1;

    if (mode == 1 && hasPrivateData) {
        if ((!IsNullGuid(offered->classId) && !IsRecognisedClass(offered->classId)) || HasVideoPart(offered))
            return ZU_E_CORRUPT;
        TemplatePtr copy;
        if (FAILED(CopyWithoutPrivateData(offered, ZUTEMPLATE_FLAGS_ADAPTED, &copy))) return E_OUTOFMEMORY;
        copy->classId = GUID{};
        DeriveIdentifier(copy.get());
        *out = copy.release();
        return S_OK;
    }

    if (mode == 2) {
        tagZUTEMPLATExV2* made = nullptr;
        const WideString name = LocalName();
        const HRESULT hr = ZuFio_MakeTemplate(&made, ZUTEMPLATE_FLAGS_DEFAULT, offered, ZUTEMPLATE_PART_AUDIO, 0,
                                              name.c_str(), nullptr);
        if (!made) return FAILED(hr) ? hr : E_OUTOFMEMORY;
        DeriveIdentifier(made);
        *out = made;
        return S_OK;
    }

    TemplatePtr copy;
    if (FAILED(CopyWithoutPrivateData(offered, ZUTEMPLATE_FLAGS_ADAPTED, &copy))) return E_INVALIDARG;
    std::memset(copy->videoPart, 0, sizeof copy->videoPart);
    StoreLE32(copy->videoPart, ZUTEMPLATE_VIDEO_SECTION_SIZE);
    copy->classId = GUID{};
    DeriveIdentifier(copy.get());
    *out = copy.release();
    return S_OK;
}

HRESULT FindRenderTemplate(const GUID& id, int32_t* index) {
    if (!index) return E_INVALIDARG;
    for (uint32_t i = 0; i < RenderFormatCount(); ++i) {
        if (ZuGuidEqual(id, kFormats[i].templateId)) {
            *index = static_cast<int32_t>(i);
            return S_OK;
        }
    }
    *index = -1;
    return S_FALSE;
}

HRESULT GetRenderTemplateInfo(const tagZUTEMPLATExV2* tmpl, void* buffer, uint32_t size, uint32_t kind) {
    if (!tmpl || !buffer) return E_POINTER;
    if (!LayoutOfTemplate(tmpl).valid) return E_INVALIDARG;
    const uint8_t* format = TemplateAudioFormat(tmpl);
    switch (kind) {
        case kTemplateInfoWaveFormat:
            if (size < sizeof tmpl->audioFormat) return E_INVALIDARG;
            if (tmpl->audioStreamCount == 0) return S_FALSE;
            std::memcpy(buffer, format, sizeof tmpl->audioFormat);
            return S_OK;
        case kTemplateInfoWfx: {
            if (size < sizeof(WAVEFORMATEX)) return E_INVALIDARG;
            if (tmpl->audioStreamCount == 0) return S_FALSE;
            _zuwaveformatmax record{};
            std::memcpy(&record, format, sizeof tmpl->audioFormat);
            WAVEFORMATEX wfx{};
            const HRESULT hr = ZuAudio_WaveFormatToWfx(&record.format, &wfx);
            if (FAILED(hr)) return hr;
            std::memcpy(buffer, &wfx, sizeof wfx);
            return S_OK;
        }
        case kTemplateInfoStreamCount:
            if (size < sizeof(uint32_t)) return E_INVALIDARG;
            StoreLE32(buffer, tmpl->audioStreamCount);
            return S_OK;
        default:
            return E_NOTIMPL;
    }
}

}  // namespace zu
