// The wave-format record (_zuwaveformat) and WAVEFORMATEX: sample types, the
// conversions between the two records, and the format tests.
#include "kernel/wave_format.h"

#include <algorithm>
#include <cstring>

namespace zu::audio {

namespace {

// Bytes 2 to 15 of every standard media subtype; bytes 0 and 1 hold the tag.
constexpr uint8_t kSubtypeSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

const WAVEFORMATEXTENSIBLE* AsExtensible(const WAVEFORMATEX* wfx) {
    return reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(wfx);
}

bool SameGuid(const GUID& a, const GUID& b) { return ZuGuidEqual(a, b); }

bool IsZeroGuid(const GUID& g) {
    const auto* b = reinterpret_cast<const uint8_t*>(&g);
    return std::all_of(b, b + sizeof(GUID), [](uint8_t v) { return v == 0; });
}

uint16_t SubtypeTag(const GUID& g) { return static_cast<uint16_t>(g.Data1 & 0xFFFF); }

// An extensible format with an all-zero (or absent) SubFormat still describes
// plain data when its numbers agree with each other: whole-byte samples, block
// align = channels x bytes, average bytes = rate x block align.
ZUSAMPLETYPE TypeOfZeroSubtype(const WAVEFORMATEX* wfx) {
    if (wfx->cbSize != 0 && wfx->cbSize != 22) return ZUSAMPLE_NONE;
    if (wfx->cbSize == 22 && !IsZeroGuid(AsExtensible(wfx)->SubFormat)) return ZUSAMPLE_NONE;
    const uint32_t bits = wfx->wBitsPerSample;
    if (wfx->nChannels == 0 || bits % 8 != 0) return ZUSAMPLE_NONE;
    const uint32_t block = wfx->nChannels * (bits / 8);
    if (wfx->nBlockAlign != block || wfx->nAvgBytesPerSec != static_cast<uint64_t>(wfx->nSamplesPerSec) * block)
        return ZUSAMPLE_NONE;
    switch (bits) {
    case 8: return ZUSAMPLE_U8;
    case 16: return ZUSAMPLE_S16;
    case 24: return ZUSAMPLE_S24;
    case 32: return ZUSAMPLE_F32;
    case 64: return ZUSAMPLE_F64;
    default: return ZUSAMPLE_NONE;
    }
}

}  // namespace

uint32_t ContainerBytes(uint32_t bits) {
    if (bits % 8 == 0) return bits / 8;
    return bits == 20 ? 3 : 0;
}

const GUID* ExtensibleSubFormat(const WAVEFORMATEX* wfx) {
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE || wfx->cbSize < 22) return nullptr;
    return &AsExtensible(wfx)->SubFormat;
}

bool IsStandardSubtype(const GUID& subFormat) {
    return std::memcmp(reinterpret_cast<const uint8_t*>(&subFormat) + 2, kSubtypeSuffix, sizeof(kSubtypeSuffix)) == 0;
}

}  // namespace zu::audio

using namespace zu::audio;

ZU_EXPORT_C ZUSAMPLETYPE ZuAudio_GetSampleType2(uint16_t formatTag, uint16_t bitsPerSample) {
    switch (formatTag) {
    case WAVE_FORMAT_PCM:
    case ZU_WAVE_FORMAT_SIGNED8:
        switch (bitsPerSample) {
        case 8: return formatTag == WAVE_FORMAT_PCM ? ZUSAMPLE_U8 : ZUSAMPLE_S8;
        case 16: return ZUSAMPLE_S16;
        case 20:
        case 24: return ZUSAMPLE_S24;
        case 32: return ZUSAMPLE_S32;
        }
        break;
    case WAVE_FORMAT_IEEE_FLOAT:
        if (bitsPerSample == 32) return ZUSAMPLE_F32;
        if (bitsPerSample == 64) return ZUSAMPLE_F64;
        break;
    case ZU_WAVE_FORMAT_24IN32:
        if (bitsPerSample == 24 || bitsPerSample == 32) return ZUSAMPLE_S24IN32;
        break;
    case ZU_WAVE_FORMAT_BIGENDIAN:
        switch (bitsPerSample) {
        case 8: return ZUSAMPLE_U8;
        case 16: return ZUSAMPLE_S16BE;
        case 24: return ZUSAMPLE_S24BE;
        case 32: return ZUSAMPLE_S32BE;
        }
        break;
    case ZU_WAVE_FORMAT_UNSIGNED:
        if (bitsPerSample == 16) return ZUSAMPLE_U16;
        if (bitsPerSample == 24) return ZUSAMPLE_U24;
        break;
    }
    return ZUSAMPLE_NONE;
}

ZU_EXPORT_C ZUSAMPLETYPE ZuAudio_GetSampleType(const WAVEFORMATEX* wfx) {
    if (!wfx) return ZUSAMPLE_NONE;
    if (wfx->wFormatTag != WAVE_FORMAT_EXTENSIBLE) return ZuAudio_GetSampleType2(wfx->wFormatTag, wfx->wBitsPerSample);
    const GUID* sub = ExtensibleSubFormat(wfx);
    if (!sub || !IsStandardSubtype(*sub)) return ZUSAMPLE_NONE;
    const ZUSAMPLETYPE type = ZuAudio_GetSampleType2(SubtypeTag(*sub), wfx->wBitsPerSample);
    if (type == ZUSAMPLE_S32 && AsExtensible(wfx)->Samples.wValidBitsPerSample == 24) return ZUSAMPLE_S24IN32;
    return type;
}

ZU_EXPORT_C uint16_t ZuAudio_FormatTagFromSampleType(ZUSAMPLETYPE type) {
    switch (type) {
    case ZUSAMPLE_U8:
    case ZUSAMPLE_S16:
    case ZUSAMPLE_S24:
    case ZUSAMPLE_S32: return WAVE_FORMAT_PCM;
    case ZUSAMPLE_F32:
    case ZUSAMPLE_F64: return WAVE_FORMAT_IEEE_FLOAT;
    case ZUSAMPLE_S24IN32: return ZU_WAVE_FORMAT_24IN32;
    case ZUSAMPLE_S8: return ZU_WAVE_FORMAT_SIGNED8;
    case ZUSAMPLE_S16BE:
    case ZUSAMPLE_S24BE:
    case ZUSAMPLE_S32BE: return ZU_WAVE_FORMAT_BIGENDIAN;
    case ZUSAMPLE_U16:
    case ZUSAMPLE_U24: return ZU_WAVE_FORMAT_UNSIGNED;
    default: return 0;
    }
}

ZU_EXPORT_C uint16_t ZuAudio_BitsFromSampleType(ZUSAMPLETYPE type) {
    switch (type) {
    case ZUSAMPLE_U8:
    case ZUSAMPLE_S8: return 8;
    case ZUSAMPLE_S16:
    case ZUSAMPLE_S16BE:
    case ZUSAMPLE_U16: return 16;
    case ZUSAMPLE_S24:
    case ZUSAMPLE_S24BE:
    case ZUSAMPLE_U24: return 24;
    case ZUSAMPLE_S32:
    case ZUSAMPLE_F32:
    case ZUSAMPLE_S24IN32:
    case ZUSAMPLE_S32BE: return 32;
    case ZUSAMPLE_F64: return 64;
    default: return 0;
    }
}

ZU_EXPORT_C uint32_t ZuAudio_BytesFromSampleType(ZUSAMPLETYPE type) { return ZuAudio_BitsFromSampleType(type) / 8u; }

ZU_EXPORT_C uint16_t ZuAudio_GetWaveFormatTag(const WAVEFORMATEX* wfx) {
    if (!wfx) return 0;
    const GUID* sub = ExtensibleSubFormat(wfx);
    if (sub && IsStandardSubtype(*sub)) return SubtypeTag(*sub);
    return wfx->wFormatTag;
}

ZU_EXPORT_C HRESULT ZuAudio_FixBadWfx(WAVEFORMATEX* wfx) {
    if (!wfx) return E_POINTER;
    bool plain = wfx->wFormatTag == WAVE_FORMAT_PCM || wfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    if (wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const GUID* sub = ExtensibleSubFormat(wfx);
        plain = sub && (SameGuid(*sub, ZUAUDIO_SUBTYPE_PCM) || SameGuid(*sub, ZUAUDIO_SUBTYPE_IEEE_FLOAT));
    }
    const uint32_t bytes = ContainerBytes(wfx->wBitsPerSample);
    const uint32_t block = wfx->nChannels * bytes;
    // Nothing to derive a block align from: leave the record as it is.
    if (!plain || block == 0 || block > 0xFFFF) return S_FALSE;
    bool repaired = false;
    if (wfx->nBlockAlign != block) {
        wfx->nBlockAlign = static_cast<uint16_t>(block);
        repaired = true;
    }
    const uint64_t avg = static_cast<uint64_t>(wfx->nSamplesPerSec) * block;
    if (avg <= 0xFFFFFFFFu && wfx->nAvgBytesPerSec != avg) {
        wfx->nAvgBytesPerSec = static_cast<DWORD>(avg);
        repaired = true;
    }
    return repaired ? S_OK : S_FALSE;
}

ZU_EXPORT_C BOOL ZuAudio_IsCompressed(const WAVEFORMATEX* wfx) {
    if (!wfx) return TRUE;
    switch (wfx->wFormatTag) {
    case WAVE_FORMAT_EXTENSIBLE: {
        const GUID* sub = ExtensibleSubFormat(wfx);
        if (!sub || !(SameGuid(*sub, ZUAUDIO_SUBTYPE_PCM) || SameGuid(*sub, ZUAUDIO_SUBTYPE_IEEE_FLOAT))) return TRUE;
        break;
    }
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_IEEE_FLOAT:
    case ZU_WAVE_FORMAT_24IN32:
    case ZU_WAVE_FORMAT_SIGNED8:
    case ZU_WAVE_FORMAT_BIGENDIAN: break;
    default: return TRUE;
    }
    // Plain data has whole-byte samples (20-bit data in 3 bytes) packed frame by frame.
    const uint32_t bytes = ContainerBytes(wfx->wBitsPerSample);
    return (bytes == 0 || wfx->nBlockAlign != bytes * wfx->nChannels) ? TRUE : FALSE;
}

ZU_EXPORT_C BOOL ZuAudio_IsEqualFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b) {
    if (!a || !b) return FALSE;
    if (a->nChannels != b->nChannels || a->nSamplesPerSec != b->nSamplesPerSec || a->wFormatTag != b->wFormatTag ||
        a->wBitsPerSample != b->wBitsPerSample)
        return FALSE;
    // Two extensible formats of the same tag and bits may still hold different data.
    const GUID* subA = ExtensibleSubFormat(a);
    const GUID* subB = ExtensibleSubFormat(b);
    if (subA && subB) {
        if (!SameGuid(*subA, *subB)) return FALSE;
        if (AsExtensible(a)->Samples.wValidBitsPerSample != AsExtensible(b)->Samples.wValidBitsPerSample) return FALSE;
    }
    return TRUE;
}

ZU_EXPORT_C HRESULT ZuAudio_InitWfxFlex(WAVEFORMATEX* wfx, uint32_t roomBytes, uint16_t formatTag, uint16_t bitsPerSample,
                                        uint32_t samplesPerSec, uint16_t channels, uint32_t channelMask) {
    if (!wfx) return E_POINTER;
    if (roomBytes < sizeof(WAVEFORMATEX)) return E_INVALIDARG;
    // Tag 0xFE00 always stores its 24 bits in a 32-bit container.
    const bool in32 = formatTag == ZU_WAVE_FORMAT_24IN32;
    const uint16_t containerBits = in32 ? 32 : bitsPerSample;
    uint32_t bytes = ContainerBytes(containerBits);
    if (bytes == 0) bytes = (containerBits + 7u) / 8u;
    const uint32_t block = channels * bytes;
    const uint64_t avg = static_cast<uint64_t>(samplesPerSec) * block;
    if (block > 0xFFFF || avg > 0xFFFFFFFFu) return E_INVALIDARG;

    const bool extensible = roomBytes >= sizeof(WAVEFORMATEXTENSIBLE) &&
                            (in32 || (channelMask != 0 && (formatTag == WAVE_FORMAT_PCM || formatTag == WAVE_FORMAT_IEEE_FLOAT)));
    std::memset(wfx, 0, extensible ? sizeof(WAVEFORMATEXTENSIBLE) : sizeof(WAVEFORMATEX));
    wfx->wFormatTag = formatTag;
    wfx->nChannels = channels;
    wfx->nSamplesPerSec = samplesPerSec;
    wfx->nAvgBytesPerSec = static_cast<DWORD>(avg);
    wfx->nBlockAlign = static_cast<uint16_t>(block);
    wfx->wBitsPerSample = containerBits;
    if (extensible) {
        auto* ext = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(wfx);
        ext->Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        ext->Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        ext->Samples.wValidBitsPerSample = in32 ? 24 : bitsPerSample;
        ext->dwChannelMask = channelMask;
        ext->SubFormat = formatTag == WAVE_FORMAT_IEEE_FLOAT ? ZUAUDIO_SUBTYPE_IEEE_FLOAT : ZUAUDIO_SUBTYPE_PCM;
    }
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuAudio_InitWaveFormat(_zuwaveformat* record, uint32_t roomBytes, const WAVEFORMATEX* wfx) {
    if (!record || !wfx) return E_POINTER;
    const bool hasExtraSize = roomBytes >= ZUWF_HEADER_SIZE;
    std::memset(record, 0, roomBytes < ZUWF_FIXED_SIZE + 1 ? ZUWF_FIXED_SIZE : roomBytes);

    WAVEFORMATEX plain = *wfx;
    if (plain.wFormatTag == WAVE_FORMAT_PCM) ZuAudio_FixBadWfx(&plain);
    record->samplesPerSec = plain.nSamplesPerSec;
    record->channels = plain.nChannels;
    record->blockAlign = plain.nBlockAlign;
    record->avgBytesPerSec = plain.nAvgBytesPerSec;

    ZUSAMPLETYPE type = ZuAudio_GetSampleType(wfx);
    if (wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        // The mask exists only when the extensible part is there.
        if (wfx->cbSize >= 22) {
            record->flags |= ZUWF_FLAG_CHANNELMASK;
            record->channelMask = AsExtensible(wfx)->dwChannelMask;
        }
        if (type == ZUSAMPLE_NONE) type = TypeOfZeroSubtype(wfx);
    }
    record->sampleType = type;

    if (type == ZUSAMPLE_NONE) {
        record->flags |= ZUWF_FLAG_OWNTAG;
        record->formatTag = ZuAudio_GetWaveFormatTag(wfx);
        record->bitsPerSample = wfx->wBitsPerSample;
        if (hasExtraSize && record->formatTag != WAVE_FORMAT_PCM && record->formatTag != WAVE_FORMAT_IEEE_FLOAT) {
            const uint8_t* extra = reinterpret_cast<const uint8_t*>(wfx) + sizeof(WAVEFORMATEX);
            uint32_t count = wfx->cbSize;
            if (wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
                const uint32_t skip = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
                count = count > skip ? count - skip : 0;
                extra += skip;
            }
            count = std::min({count, roomBytes - ZUWF_HEADER_SIZE, ZUWF_MAX_EXTRA});
            std::memcpy(record->ExtraBytes(), extra, count);
            record->extraSize = static_cast<uint16_t>(count);
        }
    }
    record->cbStruct = ZUWF_FIXED_SIZE + (hasExtraSize ? record->extraSize : 0u);
    return S_OK;
}

ZU_EXPORT_C HRESULT ZuAudio_WaveFormatToWfx(const _zuwaveformat* record, WAVEFORMATEX* wfx) {
    return ZuAudio_GeneralCopyWfx(record, wfx, sizeof(WAVEFORMATEX));
}

ZU_EXPORT_C HRESULT ZuAudio_GeneralCopyWfx(const _zuwaveformat* record, WAVEFORMATEX* wfx, uint32_t roomBytes) {
    if (!record || !wfx) return E_POINTER;
    if (roomBytes < sizeof(WAVEFORMATEX)) return E_INVALIDARG;
    if (record->flags & ZUWF_FLAG_OWNTAG) {
        std::memset(wfx, 0, sizeof(WAVEFORMATEX));
        wfx->wFormatTag = record->formatTag;
        wfx->nChannels = record->channels;
        wfx->nSamplesPerSec = record->samplesPerSec;
        wfx->nAvgBytesPerSec = record->avgBytesPerSec;
        wfx->nBlockAlign = record->blockAlign;
        wfx->wBitsPerSample = record->bitsPerSample;
        // A record of 36 bytes may end before extraSize: only cbStruct tells that it is there.
        const uint32_t stored = record->cbStruct > ZUWF_FIXED_SIZE ? std::min<uint32_t>(record->extraSize, record->cbStruct - ZUWF_FIXED_SIZE) : 0u;
        const uint32_t count = std::min({stored, roomBytes - static_cast<uint32_t>(sizeof(WAVEFORMATEX)), ZUWF_MAX_EXTRA});
        std::memcpy(reinterpret_cast<uint8_t*>(wfx) + sizeof(WAVEFORMATEX), record->ExtraBytes(), count);
        wfx->cbSize = static_cast<uint16_t>(count);
        return S_OK;
    }
    const uint32_t mask = (record->flags & ZUWF_FLAG_CHANNELMASK) ? record->channelMask : 0u;
    return ZuAudio_InitWfxFlex(wfx, roomBytes, ZuAudio_FormatTagFromSampleType(record->sampleType),
                               ZuAudio_BitsFromSampleType(record->sampleType), record->samplesPerSec, record->channels,
                               mask);
}
