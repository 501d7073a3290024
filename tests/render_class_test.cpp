// The render classes as the host drives them: served by the class factory,
// their two interfaces and one count, texts, manager references and the
// language switch, the one template and its adaptation, the INFO tags, and
// creating render files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/byte_order.h"
#include "kernel/render_template.h"
#include "kernel/string_table.h"
#include "platform/platform.h"
#include "plugin/format_classes.h"
#include "plugin/module_state.h"
#include "render/render_file.h"
#include "render/render_file_class.h"
#include "render/render_templates.h"
#include "support/render_fakes.h"
#include "support/temp_dir.h"
#include "zuinstr/zuinstr.h"

namespace zu::test {
namespace {

using WideString = std::basic_string<WCHAR>;

struct TemplateFree {
    void operator()(tagZUTEMPLATExV2* t) const { ZuFio_FreeTemplate(t); }
};
using TemplatePtr = std::unique_ptr<tagZUTEMPLATExV2, TemplateFree>;

// A render class through DllGetClassObject, as a host gets it (count 1).
IZuRenderFileClass* NewRenderClass(const CLSID& clsid) {
    IClassFactory* factory = nullptr;
    if (FAILED(DllGetClassObject(clsid, IID_ZuIClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    IZuRenderFileClass* cls = nullptr;
    factory->CreateInstance(nullptr, IID_IZuRenderFileClass, reinterpret_cast<void**>(&cls));
    factory->Release();
    return cls;
}

// The C++ object behind a render class interface of this module.
CDlsRenderFileClass* Impl(IZuRenderFileClass* cls) { return static_cast<CDlsRenderFileClass*>(cls); }

WideString Text(BSTR b) { return b ? WideString(b) : WideString(); }

WideString InfoText(IZuRenderFileClass* cls, ULONG key) {
    BSTR text = nullptr;
    cls->GetInfoText(&key, 1, &text);
    WideString s = Text(text);
    platform::BstrFree(text);
    return s;
}

WideString NameOf(const tagZUTEMPLATExV2* t) {
    const TemplateText name = TemplateName(t);
    return WideString(name.data(), name.size());
}

// A valid template with an audio part, texts and optional private data.
TemplatePtr HostTemplate(const GUID& classId, uint32_t privateBytes, const char* name, bool video = false) {
    tagZUTEMPLATExV2 source;
    std::memset(&source, 0, sizeof source);
    source.cbSize = ZUTEMPLATE_FIXED_SIZE;
    source.flags = 0x1234;
    source.formatIndex = 3;
    source.audioSectionSize = ZUTEMPLATE_AUDIO_SECTION_SIZE;
    source.audioStreamCount = 1;
    const WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    _zuwaveformatmax wf{};
    ZuAudio_InitWaveFormat(&wf.format, 72, &wfx);
    std::memcpy(source.audioFormat, &wf, 72);
    if (video) StoreLE32(source.videoPart, ZUTEMPLATE_VIDEO_SECTION_SIZE);
    source.videoPart[100] = 0x5A;
    source.settingsData[3] = 7;
    tagZUTEMPLATExV2* made = nullptr;
    const WideString wideName = Widen(name);
    ZuFio_MakeTemplate(&made, 0x1234, &source, ZUTEMPLATE_PART_AUDIO | ZUTEMPLATE_PART_VIDEO, privateBytes,
                       wideName.c_str(), ZU_TEXT("notes"));
    if (made && privateBytes) {
        made->classId = classId;
        std::memset(reinterpret_cast<uint8_t*>(made) + ZUTEMPLATE_FIXED_SIZE, 0xA5, privateBytes);
    }
    return TemplatePtr(made);
}

// Turns a template into one the host converted from the first template version.
void MarkUpliftedV1(tagZUTEMPLATExV2* t) {
    t->flags = ZUTEMPLATE_FLAGS_ADAPTED;
    const uint8_t tail[10] = {0x10, 0x10, 0x80, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00};
    std::memcpy(reinterpret_cast<uint8_t*>(&t->templateId) + 6, tail, sizeof tail);
}

bool IsVersion3(const GUID& id) { return (id.Data3 >> 12) == 3 && (id.Data4[0] & 0xC0) == 0x80; }

constexpr GUID kForeignClass = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};

// ---- The classes from the factory ----

TEST(RenderClass, FactoryServesEachFormatWithItsIdentity) {
    const struct {
        const CLSID* clsid;
        InstrumentKind kind;
        const GUID* renderer;
    } formats[] = {{&CLSID_ZuDlsInstrument, kInstrumentDls, &ZU_RENDERER_DLS},
                   {&CLSID_ZuGigInstrument, kInstrumentGig, &ZU_RENDERER_GIG},
                   {&CLSID_ZuSf2Instrument, kInstrumentSf2, &ZU_RENDERER_SF2}};
    for (const auto& f : formats) {
        IZuRenderFileClass* cls = NewRenderClass(*f.clsid);
        ASSERT_NE(cls, nullptr);
        EXPECT_EQ(Impl(cls)->kind(), f.kind);
        GUID id{};
        EXPECT_EQ(cls->GetClassGuid(&id), S_OK);
        EXPECT_TRUE(ZuGuidEqual(id, *f.renderer));
        ULONG version = 0, caps = 0;
        EXPECT_EQ(cls->GetVersion(&version), S_OK);
        EXPECT_EQ(version, 1u);
        EXPECT_EQ(cls->GetCapabilities(&caps), S_OK);
        EXPECT_EQ(caps, 0x00099C26u);
        EXPECT_EQ(RenderClassCapabilities(), 0x00099C26u);
        EXPECT_EQ(cls->Release(), 0u);
    }
}

TEST(RenderClass, TwoInterfacesShareOneIdentityAndCount) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuGigInstrument);
    ASSERT_NE(cls, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(cls->QueryInterface(IID_ZuIUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(cls));
    IZuRenderMetaSupport* support = nullptr;
    IZuRenderMetaSupport2* support2 = nullptr;
    ASSERT_EQ(cls->QueryInterface(IID_IZuRenderMetaSupport, reinterpret_cast<void**>(&support)), S_OK);
    ASSERT_EQ(cls->QueryInterface(IID_IZuRenderMetaSupport2, reinterpret_cast<void**>(&support2)), S_OK);
    EXPECT_EQ(static_cast<void*>(support), static_cast<void*>(support2));
    EXPECT_NE(static_cast<void*>(support), static_cast<void*>(cls));
    // Back from the second interface to the first.
    IZuRenderFileClass* again = nullptr;
    ASSERT_EQ(support2->QueryInterface(IID_IZuRenderFileClass, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, cls);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(support->QueryInterface(IID_IZuRenderFile, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(support->AddRef(), 6u);  // 1 + unknown + support + support2 + again + this
    EXPECT_EQ(support2->Release(), 5u);
    again->Release();
    support2->Release();
    support->Release();
    unknown->Release();
    EXPECT_EQ(support->Release(), 0u);  // the last one, through the second interface
}

TEST(RenderClass, InfoTextsPerFormat) {
    const struct {
        const CLSID* clsid;
        const char* texts[7];
    } formats[] = {
        {&CLSID_ZuDlsInstrument,
         {"DLS", "DLS Instrument", "", "*.dls", "DLS Instrument", "DLS format contains audio data", ""}},
        {&CLSID_ZuGigInstrument,
         {"GIG", "GIG Instrument", "", "*.gig", "GIG Instrument", "GIG format contains audio data", ""}},
        {&CLSID_ZuSf2Instrument,
         {"SF2", "Sound Font 2.0 Instrument", "", "*.sf2", "SoundFont 2 Instrument",
          "SoundFont 2 format contains musical instrument data", ""}},
    };
    for (const auto& f : formats) {
        IZuRenderFileClass* cls = NewRenderClass(*f.clsid);
        ASSERT_NE(cls, nullptr);
        const ULONG keys[] = {7, 6, 5, 4, 3, 2, 1, 8, 0};
        BSTR texts[9];
        std::memset(texts, 0xCD, sizeof texts);
        EXPECT_EQ(cls->GetInfoText(keys, 9, texts), S_OK);
        for (int i = 0; i < 7; ++i) {
            ASSERT_NE(texts[i], nullptr) << "key " << keys[i];
            EXPECT_EQ(Text(texts[i]), Widen(f.texts[keys[i] - 1])) << "key " << keys[i];
        }
        EXPECT_EQ(texts[7], nullptr);  // keys outside the table give null strings
        EXPECT_EQ(texts[8], nullptr);
        for (BSTR t : texts) platform::BstrFree(t);
        cls->Release();
    }
}

TEST(RenderClass, ManagerIsReferencedOnceByDlsAndTwiceByGigAndSoundFont) {
    for (const CLSID* clsid : {&CLSID_ZuDlsInstrument, &CLSID_ZuGigInstrument, &CLSID_ZuSf2Instrument}) {
        const ULONG held = clsid == &CLSID_ZuDlsInstrument ? 1u : 2u;
        FakeManager first, second;
        IZuRenderFileClass* cls = NewRenderClass(*clsid);
        ASSERT_NE(cls, nullptr);
        IZuFileIOManager* got = reinterpret_cast<IZuFileIOManager*>(1);
        EXPECT_EQ(cls->GetFileIOManager(&got), E_NOINTERFACE);
        EXPECT_EQ(got, nullptr);

        EXPECT_EQ(cls->SetFileIOManager(&first), S_OK);
        EXPECT_EQ(first.refs, 1u + held);
        ASSERT_EQ(cls->GetFileIOManager(&got), S_OK);
        EXPECT_EQ(got, &first);
        EXPECT_EQ(first.refs, 2u + held);
        got->Release();

        EXPECT_EQ(cls->SetFileIOManager(&second), S_OK);  // the first is given back
        EXPECT_EQ(first.refs, 1u);
        EXPECT_EQ(second.refs, 1u + held);
        EXPECT_EQ(cls->Release(), 0u);
        EXPECT_EQ(second.refs, 1u);  // destruction releases every reference
    }
}

TEST(RenderClass, ManagerLanguageSwitchesTheModuleTexts) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    const LCID before = ZuLang_GetLCID(ModuleLanguage());
    FakeManager german;
    german.language = 1031;
    cls->SetFileIOManager(&german);
    EXPECT_EQ(german.lcidCalls, 1);
    EXPECT_EQ(german.presetSeen, before);  // preset to the module's own language
    EXPECT_EQ(german.reservedSeen, 0u);
    EXPECT_EQ(InfoText(cls, 5), Widen("DLS-Instrument"));

    FakeManager failing;
    failing.language = 1036;
    failing.languageResult = E_FAIL;
    cls->SetFileIOManager(&failing);  // a failed query keeps the language
    EXPECT_EQ(failing.presetSeen, 1031u);
    EXPECT_EQ(InfoText(cls, 5), Widen("DLS-Instrument"));

    FakeManager english;
    english.language = 1033;
    cls->SetFileIOManager(&english);
    EXPECT_EQ(InfoText(cls, 5), Widen("DLS Instrument"));
    cls->Release();
}

TEST(RenderClass, ReadFileClassLookupNamesTheDlsReaderForEveryFormat) {
    for (const CLSID* clsid : {&CLSID_ZuDlsInstrument, &CLSID_ZuGigInstrument, &CLSID_ZuSf2Instrument}) {
        IZuRenderFileClass* cls = NewRenderClass(*clsid);
        ASSERT_NE(cls, nullptr);
        IZuReadFileClass* reader = nullptr;
        EXPECT_EQ(cls->GetReadFileClass(&reader, nullptr, 0), E_FAIL);  // no manager yet
        FakeManager manager;
        cls->SetFileIOManager(&manager);
        int marker = 0;
        EXPECT_EQ(cls->GetReadFileClass(&reader, &marker, 0xBEEF), manager.findResult);
        EXPECT_TRUE(ZuGuidEqual(manager.identitySeen, ZU_READER_DLS));
        EXPECT_EQ(manager.contextSeen, 0xBEEFu);
        EXPECT_EQ(manager.outSeen, &reader);
        manager.findResult = S_OK;
        EXPECT_EQ(cls->GetReadFileClass(&reader, nullptr, 1), S_OK);
        cls->Release();
    }
}

TEST(RenderClass, ReservedSlotsGiveTheirFixedAnswers) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->SetUserValue(0xFEEDu), S_OK);
    ULONG value = 0;
    EXPECT_EQ(cls->GetUserValue(&value), S_OK);
    EXPECT_EQ(value, 0xFEEDu);
    EXPECT_EQ(cls->ReservedSlot12(), E_NOTIMPL);
    ULONG out17 = 99;
    EXPECT_EQ(cls->ReservedSlot17(nullptr, nullptr, &out17), E_NOTIMPL);
    EXPECT_EQ(out17, 0u);
    void* out19 = &value;
    EXPECT_EQ(cls->ReservedSlot19(&out19, nullptr, nullptr, 2), S_FALSE);
    EXPECT_EQ(out19, &value);  // mode 2 leaves the out pointer alone
    EXPECT_EQ(cls->ReservedSlot19(&out19, nullptr, nullptr, 0), E_NOTIMPL);
    EXPECT_EQ(out19, nullptr);
    ULONG a = 1, b = 2, c = 3;
    EXPECT_EQ(cls->GetReservedValues(&a, &b, &c), S_OK);
    EXPECT_EQ(a + b + c, 0u);
    EXPECT_EQ(cls->ReservedSlot22(), E_NOINTERFACE);
    EXPECT_EQ(cls->ReservedSlot23(), S_FALSE);
    EXPECT_EQ(cls->ReservedSlot24(), S_OK);
    EXPECT_EQ(cls->ReservedSlot26(), E_NOTIMPL);
    EXPECT_EQ(cls->ShowAbout(nullptr), S_OK);
    cls->Release();
}

// ---- INFO tags and metadata kinds ----

TEST(RenderClass, InfoTagsEnumerateThirtyTwoThenStopUntilReset) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuSf2Instrument);
    ASSERT_NE(cls, nullptr);
    IZuRenderMetaSupport2* support = nullptr;
    ASSERT_EQ(cls->QueryInterface(IID_IZuRenderMetaSupport2, reinterpret_cast<void**>(&support)), S_OK);
    std::vector<ULONG> tags;
    ULONG tag = 0, length = 0;
    while (support->NextInfoTag(&tag, &length) == S_OK) {
        EXPECT_EQ(length, 0x400u);
        tags.push_back(tag);
        ASSERT_LE(tags.size(), 40u);
    }
    ASSERT_EQ(tags.size(), 32u);
    EXPECT_EQ(tags.front(), FourCC("INAM"));
    EXPECT_EQ(tags[4], FourCC("TRCK"));
    EXPECT_EQ(tags[29], FourCC("DISP"));
    EXPECT_EQ(tags.back(), FourCC("ICMS"));
    EXPECT_EQ(support->NextInfoTag(&tag, &length), S_FALSE);  // stays at the end
    EXPECT_EQ(support->ResetInfoTags(), S_OK);
    EXPECT_EQ(support->NextInfoTag(nullptr, nullptr), S_OK);  // either pointer may be null
    EXPECT_EQ(support->NextInfoTag(&tag, nullptr), S_OK);
    EXPECT_EQ(tag, FourCC("IART"));
    ULONG mask = 0, mask2 = 7;
    EXPECT_EQ(support->GetSupportedMetadata(&mask, &mask2), S_OK);
    EXPECT_EQ(mask, 0x0271FDF5u);
    EXPECT_EQ(mask2, 0u);
    EXPECT_EQ(support->GetSupportedMetadata(nullptr, nullptr), S_OK);
    support->Release();
    cls->Release();
}

// ---- The one template ----

TEST(RenderClass, DefaultTemplateIsStereoSixteenBitPcm) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    ULONG count = 0;
    EXPECT_EQ(cls->GetTemplateCount(nullptr), E_INVALIDARG);
    EXPECT_EQ(cls->GetTemplateCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(cls->GetTemplate(&raw, 0), S_OK);
    TemplatePtr t(raw);
    EXPECT_EQ(t->flags, 0x2020000u);
    EXPECT_EQ(t->formatIndex, 0u);
    EXPECT_TRUE(ZuGuidEqual(t->classId, GUID{}));  // no private data: no class identifier
    EXPECT_TRUE(ZuGuidEqual(t->templateId, GUID{}));
    EXPECT_EQ(t->audioSectionSize, 200u);
    EXPECT_EQ(t->audioStreamCount, 1u);
    EXPECT_EQ(t->privateSize, 0u);
    EXPECT_EQ(t->textChars, 18u);
    EXPECT_EQ(t->cbSize, 572u);
    EXPECT_EQ(LoadLE32(t->videoPart), 0u);
    _zuwaveformatmax wf{};
    std::memcpy(&wf, t->audioFormat, 72);
    WAVEFORMATEX wfx{};
    ASSERT_EQ(ZuAudio_WaveFormatToWfx(&wf.format, &wfx), S_OK);
    EXPECT_EQ(wfx.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(wfx.nChannels, 2);
    EXPECT_EQ(wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(wfx.nBlockAlign, 4);
    EXPECT_EQ(wfx.wBitsPerSample, 16);
    EXPECT_EQ(wf.format.channelMask, 0u);
    EXPECT_EQ(NameOf(t.get()), Widen("Default Template"));
    EXPECT_TRUE(TemplateNotes(t.get()).empty());
    cls->Release();
}

TEST(RenderClass, OnlyTemplateZeroExists) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    tagZUTEMPLATExV2* t = reinterpret_cast<tagZUTEMPLATExV2*>(1);
    EXPECT_EQ(cls->GetTemplate(&t, 1), E_FAIL);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(cls->GetTemplate(nullptr, 0), E_POINTER);

    int32_t index = 5;
    const GUID null{};
    EXPECT_EQ(cls->FindTemplate(&null, &index), S_OK);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(cls->FindTemplate(&kForeignClass, &index), S_FALSE);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(cls->FindTemplate(nullptr, &index), E_INVALIDARG);
    EXPECT_EQ(cls->FindTemplate(&null, nullptr), E_INVALIDARG);
    cls->Release();
}

TEST(RenderClass, GigAndSoundFontOfferTheDlsTemplate) {
    IZuRenderFileClass* dls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(dls, nullptr);
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(dls->GetTemplate(&raw, 0), S_OK);
    TemplatePtr reference(raw);
    for (const CLSID* clsid : {&CLSID_ZuGigInstrument, &CLSID_ZuSf2Instrument}) {
        IZuRenderFileClass* cls = NewRenderClass(*clsid);
        ASSERT_NE(cls, nullptr);
        ASSERT_EQ(cls->GetTemplate(&raw, 0), S_OK);
        TemplatePtr t(raw);
        ASSERT_EQ(t->cbSize, reference->cbSize);
        EXPECT_EQ(std::memcmp(t.get(), reference.get(), t->cbSize), 0);
        cls->Release();
    }
    dls->Release();
}

// ---- Adapting a host's template ----

TEST(AdaptTemplate, PlainTemplateIsCopiedWithVideoClearedAndAContentIdentifier) {
    TemplatePtr host = HostTemplate(GUID{}, 0, "Mine", true);
    ASSERT_TRUE(host);
    host->templateId = kForeignClass;
    tagZUTEMPLATExV2* raw = reinterpret_cast<tagZUTEMPLATExV2*>(1);
    ASSERT_EQ(AdaptRenderTemplate(&raw, host.get(), 0), S_OK);
    TemplatePtr t(raw);
    EXPECT_EQ(t->flags, 0x2000000u);
    EXPECT_TRUE(ZuGuidEqual(t->classId, GUID{}));
    EXPECT_EQ(LoadLE32(t->videoPart), 200u);
    for (size_t i = 4; i < sizeof t->videoPart; ++i) ASSERT_EQ(t->videoPart[i], 0) << i;
    EXPECT_EQ(std::memcmp(&t->audioSectionSize, &host->audioSectionSize, 200), 0);  // audio part kept
    EXPECT_EQ(t->settingsData[3], 7);
    EXPECT_EQ(t->formatIndex, 3u);
    EXPECT_EQ(NameOf(t.get()), Widen("Mine"));
    if (!platform::Md5Available()) GTEST_SKIP() << "no MD5 on this system";
    EXPECT_TRUE(IsVersion3(t->templateId));
    GUID expected{};
    ASSERT_EQ(ZuFio_InitGUIDFromTemplateMD5DataHash(&expected, t.get(), FALSE), S_OK);
    EXPECT_TRUE(ZuGuidEqual(t->templateId, expected));
}

TEST(AdaptTemplate, IdentifierFollowsTheSettingsNotTheName) {
    if (!platform::Md5Available()) GTEST_SKIP() << "no MD5 on this system";
    TemplatePtr a = HostTemplate(GUID{}, 0, "One");
    TemplatePtr b = HostTemplate(GUID{}, 0, "Another name");
    TemplatePtr c = HostTemplate(GUID{}, 0, "One");
    c->audioFormat[8] ^= 1;  // another sample rate
    tagZUTEMPLATExV2 *ra = nullptr, *rb = nullptr, *rc = nullptr;
    ASSERT_EQ(AdaptRenderTemplate(&ra, a.get(), 3), S_OK);
    ASSERT_EQ(AdaptRenderTemplate(&rb, b.get(), 3), S_OK);
    ASSERT_EQ(AdaptRenderTemplate(&rc, c.get(), 3), S_OK);
    TemplatePtr ta(ra), tb(rb), tc(rc);
    EXPECT_TRUE(ZuGuidEqual(ta->templateId, tb->templateId));
    EXPECT_FALSE(ZuGuidEqual(ta->templateId, tc->templateId));
}

TEST(AdaptTemplate, ModeOneRefusesForeignPrivateDataAndVideo) {
    TemplatePtr foreign = HostTemplate(kForeignClass, 12, "x");
    tagZUTEMPLATExV2* raw = reinterpret_cast<tagZUTEMPLATExV2*>(1);
    EXPECT_EQ(AdaptRenderTemplate(&raw, foreign.get(), 1), static_cast<HRESULT>(0x8004E00BL));
    EXPECT_EQ(raw, nullptr);
    TemplatePtr video = HostTemplate(ZU_TEMPLATE_CLASS_OTHER, 12, "x", true);
    EXPECT_EQ(AdaptRenderTemplate(&raw, video.get(), 1), static_cast<HRESULT>(0x8004E00BL));
    EXPECT_EQ(raw, nullptr);
    // Without private data mode 1 is the plain copy, video or not.
    TemplatePtr plain = HostTemplate(kForeignClass, 0, "x", true);
    ASSERT_EQ(AdaptRenderTemplate(&raw, plain.get(), 1), S_OK);
    ZuFio_FreeTemplate(raw);
}

TEST(AdaptTemplate, ModeOneCopiesWithoutPrivateData) {
    for (const GUID* owner : {&ZU_TEMPLATE_CLASS_DEFAULT, &ZU_TEMPLATE_CLASS_OTHER, static_cast<const GUID*>(nullptr)}) {
        TemplatePtr host = HostTemplate(owner ? *owner : GUID{}, 10, "With data");
        tagZUTEMPLATExV2* raw = nullptr;
        ASSERT_EQ(AdaptRenderTemplate(&raw, host.get(), 1), S_OK);
        TemplatePtr t(raw);
        EXPECT_EQ(t->flags, 0x2000000u);
        EXPECT_TRUE(ZuGuidEqual(t->classId, GUID{}));
        EXPECT_EQ(t->privateSize, 0u);
        EXPECT_EQ(NameOf(t.get()), Widen("With data"));
        EXPECT_EQ(t->videoPart[100], 0x5A);  // mode 1 keeps the (absent) video part as it was
        if (platform::Md5Available()) {
            EXPECT_TRUE(IsVersion3(t->templateId));
        }
    }
}

TEST(AdaptTemplate, UpliftedFirstVersionTemplateIsHandledAsModeOne) {
    // Recognised owner and a video part: mode 0 becomes mode 1, which refuses.
    TemplatePtr uplifted = HostTemplate(ZU_TEMPLATE_CLASS_DEFAULT, 8, "old", true);
    MarkUpliftedV1(uplifted.get());
    ASSERT_TRUE(ZuFio_IsUpliftedV1Template(uplifted.get()));
    tagZUTEMPLATExV2* raw = nullptr;
    EXPECT_EQ(AdaptRenderTemplate(&raw, uplifted.get(), 0), static_cast<HRESULT>(0x8004E00BL));
    // A foreign owner is not uplifted: the plain copy clears the video part.
    TemplatePtr foreign = HostTemplate(kForeignClass, 8, "old", true);
    MarkUpliftedV1(foreign.get());
    ASSERT_EQ(AdaptRenderTemplate(&raw, foreign.get(), 0), S_OK);
    TemplatePtr t(raw);
    EXPECT_EQ(LoadLE32(t->videoPart), 200u);
    EXPECT_EQ(t->videoPart[100], 0);
}

TEST(AdaptTemplate, ModeTwoMakesADefaultTemplateFromTheAudioPart) {
    TemplatePtr host = HostTemplate(GUID{}, 0, "Host name", true);
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(AdaptRenderTemplate(&raw, host.get(), 2), S_OK);
    TemplatePtr t(raw);
    EXPECT_EQ(t->flags, 0x2020000u);
    EXPECT_EQ(NameOf(t.get()), Widen("Default Template"));
    EXPECT_TRUE(TemplateNotes(t.get()).empty());
    EXPECT_EQ(std::memcmp(&t->audioSectionSize, &host->audioSectionSize, 200), 0);
    EXPECT_EQ(LoadLE32(t->videoPart), 0u);  // only the audio part is taken
    EXPECT_EQ(t->formatIndex, 3u);
    if (platform::Md5Available()) {
        EXPECT_TRUE(IsVersion3(t->templateId));
    }
}

TEST(AdaptTemplate, BadArguments) {
    tagZUTEMPLATExV2* raw = reinterpret_cast<tagZUTEMPLATExV2*>(1);
    EXPECT_EQ(AdaptRenderTemplate(nullptr, nullptr, 0), E_POINTER);
    EXPECT_EQ(AdaptRenderTemplate(&raw, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(raw, nullptr);
    TemplatePtr host = HostTemplate(GUID{}, 0, "x");
    host->textChars = 100000;  // texts beyond the block
    EXPECT_EQ(AdaptRenderTemplate(&raw, host.get(), 0), E_INVALIDARG);
    // Through the class.
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuSf2Instrument);
    ASSERT_NE(cls, nullptr);
    EXPECT_EQ(cls->AdaptTemplate(nullptr, host.get(), 0), E_POINTER);
    TemplatePtr foreign = HostTemplate(kForeignClass, 4, "x");
    EXPECT_EQ(cls->AdaptTemplate(&raw, foreign.get(), 1), static_cast<HRESULT>(0x8004E00BL));
    cls->Release();
}

// ---- Template information ----

TEST(TemplateInfo, AudioFormatAsRecordWfxAndStreamCount) {
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(MakeDefaultRenderTemplate(&raw), S_OK);
    TemplatePtr t(raw);
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    uint8_t buffer[80] = {};
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), buffer, sizeof buffer, kTemplateInfoWaveFormat), S_OK);
    EXPECT_EQ(std::memcmp(buffer, t->audioFormat, 72), 0);
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), buffer, 71, kTemplateInfoWaveFormat), E_INVALIDARG);
    WAVEFORMATEX wfx{};
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), &wfx, sizeof wfx, kTemplateInfoWfx), S_OK);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(wfx.nBlockAlign, 4);
    ULONG streams = 0;
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), &streams, sizeof streams, kTemplateInfoStreamCount), S_OK);
    EXPECT_EQ(streams, 1u);
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), buffer, sizeof buffer, 77), E_NOTIMPL);
    EXPECT_EQ(cls->GetTemplateInfo(nullptr, buffer, sizeof buffer, 0), E_POINTER);

    // The second format counts when it is set.
    const WAVEFORMATEX mono8{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    _zuwaveformatmax second{};
    ZuAudio_InitWaveFormat(&second.format, 72, &mono8);
    std::memcpy(t->audioFormat2, &second, 72);
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), &wfx, sizeof wfx, kTemplateInfoWfx), S_OK);
    EXPECT_EQ(wfx.nSamplesPerSec, 8000u);
    t->audioStreamCount = 0;
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(cls->GetTemplateInfo(t.get(), buffer, sizeof buffer, kTemplateInfoWaveFormat), S_FALSE);
    EXPECT_EQ(buffer[0], 0xEE);
    cls->Release();
}

// ---- Creating render files ----

TEST(CreateRenderFile, WithoutTemplateTakesTheDefaultOne) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuGigInstrument);
    ASSERT_NE(cls, nullptr);
    FakeAudioStream source(100);
    IUnknown* sources[] = {&source};
    IZuRenderFile* file = nullptr;
    ASSERT_EQ(cls->CreateRenderFile(&file, ZU_TEXT("out.gig"), 1, sources, nullptr), S_OK);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(source.refs, 2u);
    EXPECT_EQ(static_cast<CDlsRenderFile*>(file)->kind(), kInstrumentGig);
    WCHAR name[32] = {};
    EXPECT_EQ(file->GetFileName(name, 32), S_OK);
    EXPECT_EQ(WideString(name), Widen("out.gig"));
    tagZUTEMPLATExV2 *fromFile = nullptr, *fromClass = nullptr;
    ASSERT_EQ(file->GetTemplate(&fromFile), S_OK);
    ASSERT_EQ(cls->GetTemplate(&fromClass, 0), S_OK);
    TemplatePtr a(fromFile), b(fromClass);
    ASSERT_EQ(a->cbSize, b->cbSize);
    EXPECT_EQ(std::memcmp(a.get(), b.get(), a->cbSize), 0);
    IZuRenderFileClass* owner = nullptr;
    ASSERT_EQ(file->GetRenderFileClass(&owner), S_OK);
    EXPECT_EQ(owner, cls);
    owner->Release();
    EXPECT_EQ(file->Release(), 0u);
    EXPECT_EQ(source.refs, 1u);
    EXPECT_EQ(cls->Release(), 0u);  // the render file gave its class reference back
}

TEST(CreateRenderFile, GivenTemplateIsCopied) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    TemplatePtr host = HostTemplate(GUID{}, 0, "Given");
    IZuRenderFile* file = nullptr;
    ASSERT_EQ(cls->CreateRenderFile(&file, nullptr, 0, nullptr, host.get()), S_OK);
    const std::string before(reinterpret_cast<const char*>(host.get()), host->cbSize);
    host->audioStreamCount = 9;  // the file holds its own copy
    tagZUTEMPLATExV2* raw = nullptr;
    ASSERT_EQ(file->GetTemplate(&raw), S_OK);
    TemplatePtr copy(raw);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.get()), copy->cbSize), before);
    ULONG streams = 0;
    EXPECT_EQ(file->GetStreamCount(&streams), S_OK);
    EXPECT_EQ(streams, 1u);
    file->Release();
    host->textChars = 1000000;  // not a template: the copy fails at once
    file = reinterpret_cast<IZuRenderFile*>(1);
    EXPECT_EQ(cls->CreateRenderFile(&file, nullptr, 0, nullptr, host.get()), E_INVALIDARG);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(cls->Release(), 0u);
}

TEST(CreateRenderFile, TwoSourcesFailWithTheRenderFilesErrorAndLeaveNothing) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuDlsInstrument);
    ASSERT_NE(cls, nullptr);
    FakeAudioStream first(10), second(10);
    IUnknown* sources[] = {&first, &second};
    IZuRenderFile* file = reinterpret_cast<IZuRenderFile*>(1);
    EXPECT_EQ(cls->CreateRenderFile(&file, ZU_TEXT("x.dls"), 2, sources, nullptr), E_OUTOFMEMORY);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(first.refs, 1u);  // the destroyed render file gave its source back
    EXPECT_EQ(second.refs, 1u);

    FakeNoAudio silent;
    IUnknown* noAudio[] = {&silent};
    EXPECT_EQ(cls->CreateRenderFile(&file, ZU_TEXT("x.dls"), 1, noAudio, nullptr), E_NOINTERFACE);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(silent.refs, 1u);
    EXPECT_EQ(cls->CreateRenderFile(nullptr, ZU_TEXT("x.dls"), 0, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(cls->CreateRenderFile(&file, ZU_TEXT("x.dls"), 1, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(cls->Release(), 0u);
}

TEST(CreateRenderFile, RenderFileKeepsItsClassAlive) {
    IZuRenderFileClass* cls = NewRenderClass(CLSID_ZuSf2Instrument);
    ASSERT_NE(cls, nullptr);
    IZuRenderFile* file = nullptr;
    ASSERT_EQ(cls->CreateRenderFile(&file, ZU_TEXT("x.sf2"), 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(cls->Release(), 1u);  // the host lets go of the class first
    IZuRenderFileClass* owner = nullptr;
    ASSERT_EQ(file->GetRenderFileClass(&owner), S_OK);
    GUID id{};
    owner->GetClassGuid(&id);
    EXPECT_TRUE(ZuGuidEqual(id, ZU_RENDERER_SF2));
    owner->Release();
    EXPECT_EQ(file->Release(), 0u);
}

TEST(CreateRenderFile, FactoryFunctionGivesCountOne) {
    void* out = nullptr;
    ASSERT_EQ(CreateRenderFileClass(kInstrumentSf2, &out), S_OK);
    auto* cls = static_cast<IZuRenderFileClass*>(out);
    EXPECT_EQ(Impl(cls)->kind(), kInstrumentSf2);
    EXPECT_EQ(cls->Release(), 0u);
}

}  // namespace
}  // namespace zu::test
