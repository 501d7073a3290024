// zuinstr public host header: audio formats. The platform's WAVEFORMATEX and
// WAVEFORMATEXTENSIBLE, the module's own wave-format record (_zuwaveformat),
// the stream format record that crosses the host interface, and the exported
// routines that convert between formats and copy sample data.
//
// On Windows a host may include <mmreg.h>, <mmsystem.h> or <ksmedia.h> before
// this header: the WAVEFORMATEX family then comes from the platform, whose
// layout is identical.
#ifndef ZUINSTR_AUDIO_H
#define ZUINSTR_AUDIO_H

#include "zuinstr/zuinstr_types.h"

// ---------------------------------------------------------------------------
// Sample types
// ---------------------------------------------------------------------------
// How one sample is stored. 0 means a format no copy routine handles.
// All types are little-endian unless stated otherwise.
typedef uint32_t ZUSAMPLETYPE;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_NONE = 0;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_U8 = 16;        // 8-bit unsigned, 128 is silence (tag 1)
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S16 = 17;       // 16-bit signed (tag 1)
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S24 = 18;       // 24-bit signed in 3 bytes; 20-bit data too (tag 1)
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S32 = 19;       // 32-bit signed (tag 1)
inline constexpr ZUSAMPLETYPE ZUSAMPLE_F32 = 32;       // 32-bit IEEE float, full scale +-1.0 (tag 3)
inline constexpr ZUSAMPLETYPE ZUSAMPLE_F64 = 33;       // 64-bit IEEE float, full scale +-1.0 (tag 3)
// 24 valid bits in a 32-bit container, left-justified as WAVEFORMATEXTENSIBLE
// stores them: the sample sits in the upper 24 bits, the low byte is zero on
// output and ignored on input (tag 0xFE00).
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S24IN32 = 48;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S8 = 49;        // 8-bit signed two's complement, 0 is silence (tag 0xFE01)
// Big-endian signed PCM (tag 0xFE02); its 8-bit form is plain ZUSAMPLE_U8,
// since byte order does not apply to one byte.
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S16BE = 64;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S24BE = 65;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_S32BE = 66;
// Unsigned (offset-binary) little-endian PCM, 2^(bits-1) is silence
// (tag 0xFE03). Accepted only as sources of the copy-channels routines.
inline constexpr ZUSAMPLETYPE ZUSAMPLE_U16 = 128;
inline constexpr ZUSAMPLETYPE ZUSAMPLE_U24 = 129;

// Format tags.
#ifndef WAVE_FORMAT_PCM
#define WAVE_FORMAT_PCM 0x0001
#endif
#ifndef WAVE_FORMAT_IEEE_FLOAT
#define WAVE_FORMAT_IEEE_FLOAT 0x0003
#endif
#ifndef WAVE_FORMAT_EXTENSIBLE
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE
#endif
#define ZU_WAVE_FORMAT_24IN32 0xFE00     // ZUSAMPLE_S24IN32
#define ZU_WAVE_FORMAT_SIGNED8 0xFE01    // ZUSAMPLE_S8 (wider bits: as tag 1)
#define ZU_WAVE_FORMAT_BIGENDIAN 0xFE02  // ZUSAMPLE_S16BE, _S24BE, _S32BE
#define ZU_WAVE_FORMAT_UNSIGNED 0xFE03   // ZUSAMPLE_U16, _U24

// ---------------------------------------------------------------------------
// WAVEFORMATEX and WAVEFORMATEXTENSIBLE, as the platform defines them
// ---------------------------------------------------------------------------
#pragma pack(push, 1)
#ifndef _WAVEFORMATEX_
#define _WAVEFORMATEX_
typedef struct tWAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;  // count of extra bytes that follow the 18 bytes
} WAVEFORMATEX, *PWAVEFORMATEX, *NPWAVEFORMATEX, *LPWAVEFORMATEX;
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;
#endif

#ifndef _WAVEFORMATEXTENSIBLE_
#define _WAVEFORMATEXTENSIBLE_
typedef struct {
    WAVEFORMATEX Format;  // wFormatTag 0xFFFE, cbSize at least 22
    union {
        uint16_t wValidBitsPerSample;
        uint16_t wSamplesPerBlock;
        uint16_t wReserved;
    } Samples;
    DWORD dwChannelMask;
    GUID SubFormat;  // the real format tag in its first 16 bits, see ZUAUDIO_SUBTYPE_PCM
} WAVEFORMATEXTENSIBLE, *PWAVEFORMATEXTENSIBLE;
#endif
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 && offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8 &&
                  offsetof(WAVEFORMATEX, nBlockAlign) == 12 && offsetof(WAVEFORMATEX, cbSize) == 16,
              "WAVEFORMATEX offsets");
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40, "WAVEFORMATEXTENSIBLE is 40 bytes");
static_assert(offsetof(WAVEFORMATEXTENSIBLE, Samples) == 18 && offsetof(WAVEFORMATEXTENSIBLE, dwChannelMask) == 20 &&
                  offsetof(WAVEFORMATEXTENSIBLE, SubFormat) == 24,
              "WAVEFORMATEXTENSIBLE offsets");

// Media subtypes {tttt0000-0000-0010-8000-00AA00389B71}: a format tag tttt in
// the standard GUID frame.
inline constexpr GUID ZUAUDIO_SUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID ZUAUDIO_SUBTYPE_IEEE_FLOAT = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// ---------------------------------------------------------------------------
// _zuwaveformat: the module's wave-format record
// ---------------------------------------------------------------------------
#define ZUWF_FLAG_OWNTAG 0x00000008u       // not a sample type: formatTag and bitsPerSample describe it
#define ZUWF_FLAG_CHANNELMASK 0x00000010u  // channelMask is valid
#define ZUWF_FIXED_SIZE 36u                // cbStruct of a record without extra bytes
#define ZUWF_HEADER_SIZE 38u               // the fixed part including extraSize
#define ZUWF_MAX_EXTRA 1024u               // most extra bytes a record stores

struct _zuwaveformat;
struct _ZUFILESTREAMFORMATINFOv2;

// Fills a record of roomBytes bytes from a WAVEFORMATEX (whose cbSize extra
// bytes must be readable). Below 37 bytes of room only the 36-byte fixed part
// is used; otherwise roomBytes are cleared and extra bytes of formats that are
// not a sample type are kept as far as they fit (at most 1024).
ZU_EXPORT_C HRESULT ZuAudio_InitWaveFormat(_zuwaveformat* record, uint32_t roomBytes, const WAVEFORMATEX* wfx);
// The 18-byte WAVEFORMATEX of a record (cbSize 0).
ZU_EXPORT_C HRESULT ZuAudio_WaveFormatToWfx(const _zuwaveformat* record, WAVEFORMATEX* wfx);
// The fullest WAVEFORMATEX of a record that fits roomBytes (at least 18): a
// record with a channel mask becomes WAVE_FORMAT_EXTENSIBLE when 40 bytes fit;
// a record of its own tag keeps its extra bytes as far as they fit.
ZU_EXPORT_C HRESULT ZuAudio_GeneralCopyWfx(const _zuwaveformat* record, WAVEFORMATEX* wfx, uint32_t roomBytes);

#pragma pack(push, 1)
// Variable-length: the extra bytes (extraSize of them) follow this 38-byte
// header when the record was given room for them; embed it in a larger
// structure (see _zuwaveformatmax) to give it room.
struct _zuwaveformat {
    uint32_t cbStruct;  // 36 + extraSize
    ZUSAMPLETYPE sampleType;
    uint32_t samplesPerSec;
    uint16_t channels;
    uint16_t blockAlign;
    uint32_t channelMask;  // with ZUWF_FLAG_CHANNELMASK
    uint32_t reserved;
    uint32_t flags;          // ZUWF_FLAG_*
    uint16_t formatTag;      // with ZUWF_FLAG_OWNTAG
    uint16_t bitsPerSample;  // with ZUWF_FLAG_OWNTAG
    uint32_t avgBytesPerSec;
    uint16_t extraSize;  // only when the record has room for it (38 bytes or more)

    HRESULT Init(uint32_t roomBytes, const WAVEFORMATEX* wfx) { return ZuAudio_InitWaveFormat(this, roomBytes, wfx); }
    uint8_t* ExtraBytes() { return reinterpret_cast<uint8_t*>(this) + ZUWF_HEADER_SIZE; }
    const uint8_t* ExtraBytes() const { return reinterpret_cast<const uint8_t*>(this) + ZUWF_HEADER_SIZE; }
};

// A record with room for the most extra bytes.
struct _zuwaveformatmax {
    _zuwaveformat format;
    uint8_t extra[ZUWF_MAX_EXTRA];
};

// The stream format record (audio form). streamType selects the form:
#define ZUFIO_STREAM_AUDIO 1u
#define ZUFIO_STREAM_VIDEO 2u
#define ZUFIO_STREAM_NOFORMAT 8u  // a stream without format: the record stays zero
#define ZUFIO_STREAMFORMATINFO_SIZE 184u
#define ZUFIO_STREAMFORMAT_ROOM 96u  // room of `format`: at most 58 extra bytes

struct _ZUFILESTREAMFORMATINFOv2 {
    uint32_t cbSize;  // 184, or the caller's larger size
    uint32_t streamType;
    uint64_t length;  // frames
    uint64_t reserved0;
    uint8_t audioExtension[32];  // the stream's 32-byte audio extension record
    uint8_t reserved1[32];
    _zuwaveformat format;
    uint8_t formatExtra[ZUFIO_STREAMFORMAT_ROOM - ZUWF_HEADER_SIZE];
};
#pragma pack(pop)

static_assert(sizeof(_zuwaveformat) == 38, "_zuwaveformat fixed part is 38 bytes");
static_assert(offsetof(_zuwaveformat, sampleType) == 4 && offsetof(_zuwaveformat, samplesPerSec) == 8 &&
                  offsetof(_zuwaveformat, channels) == 12 && offsetof(_zuwaveformat, blockAlign) == 14 &&
                  offsetof(_zuwaveformat, channelMask) == 16 && offsetof(_zuwaveformat, reserved) == 20 &&
                  offsetof(_zuwaveformat, flags) == 24 && offsetof(_zuwaveformat, formatTag) == 28 &&
                  offsetof(_zuwaveformat, bitsPerSample) == 30 && offsetof(_zuwaveformat, avgBytesPerSec) == 32 &&
                  offsetof(_zuwaveformat, extraSize) == 36,
              "_zuwaveformat offsets");
static_assert(sizeof(_zuwaveformatmax) == 38 + 1024, "_zuwaveformatmax size");
static_assert(sizeof(_ZUFILESTREAMFORMATINFOv2) == 184, "_ZUFILESTREAMFORMATINFOv2 is 184 bytes");
static_assert(offsetof(_ZUFILESTREAMFORMATINFOv2, streamType) == 4 && offsetof(_ZUFILESTREAMFORMATINFOv2, length) == 8 &&
                  offsetof(_ZUFILESTREAMFORMATINFOv2, reserved0) == 16 &&
                  offsetof(_ZUFILESTREAMFORMATINFOv2, audioExtension) == 24 &&
                  offsetof(_ZUFILESTREAMFORMATINFOv2, reserved1) == 56 && offsetof(_ZUFILESTREAMFORMATINFOv2, format) == 88,
              "_ZUFILESTREAMFORMATINFOv2 offsets");

// Builds the 18-byte WAVEFORMATEX of a record in place, for calls that take one.
struct _zuwaveformat_wfxcopyhelper {
    WAVEFORMATEX wfx;
    explicit _zuwaveformat_wfxcopyhelper(const _zuwaveformat& record) : wfx() { ZuAudio_WaveFormatToWfx(&record, &wfx); }
    const WAVEFORMATEX* get() const { return &wfx; }
    operator const WAVEFORMATEX*() const { return &wfx; }
};

// ---------------------------------------------------------------------------
// Format queries
// ---------------------------------------------------------------------------
// Sample type of a format tag with its bits per sample; 0 when none fits.
ZU_EXPORT_C ZUSAMPLETYPE ZuAudio_GetSampleType2(uint16_t formatTag, uint16_t bitsPerSample);
// Sample type of a WAVEFORMATEX, WAVE_FORMAT_EXTENSIBLE included (a 32-bit PCM
// container with 24 valid bits is ZUSAMPLE_S24IN32); 0 when none fits.
ZU_EXPORT_C ZUSAMPLETYPE ZuAudio_GetSampleType(const WAVEFORMATEX* wfx);
// Format tag and bits per sample of a sample type; 0 for an unknown type.
ZU_EXPORT_C uint16_t ZuAudio_FormatTagFromSampleType(ZUSAMPLETYPE type);
ZU_EXPORT_C uint16_t ZuAudio_BitsFromSampleType(ZUSAMPLETYPE type);
// Bytes one sample of the type occupies; 0 for an unknown type.
ZU_EXPORT_C uint32_t ZuAudio_BytesFromSampleType(ZUSAMPLETYPE type);
// The effective format tag: for WAVE_FORMAT_EXTENSIBLE with a standard media
// subtype the subtype's tag, else the stated tag. 0 for null.
ZU_EXPORT_C uint16_t ZuAudio_GetWaveFormatTag(const WAVEFORMATEX* wfx);
// Recomputes block align (channels x container bytes) and average bytes per
// second of a plain PCM or float format. S_OK when something was repaired,
// S_FALSE when nothing was (consistent, or not a plain format).
ZU_EXPORT_C HRESULT ZuAudio_FixBadWfx(WAVEFORMATEX* wfx);
// TRUE when the format is not plain PCM/float data that a copy routine reads
// frame by frame (null counts as compressed).
ZU_EXPORT_C BOOL ZuAudio_IsCompressed(const WAVEFORMATEX* wfx);
// TRUE when channels, sample rate, tag and bits per sample agree (two
// extensible formats also need the same subtype and valid bits). Block align
// and average bytes per second are not compared.
ZU_EXPORT_C BOOL ZuAudio_IsEqualFormat(const WAVEFORMATEX* a, const WAVEFORMATEX* b);
// Builds a consistent WAVEFORMATEX in roomBytes (at least 18). With room for
// 40 bytes, PCM or float with a channel mask, and tag 0xFE00, are written as
// WAVE_FORMAT_EXTENSIBLE; otherwise an 18-byte format with cbSize 0.
ZU_EXPORT_C HRESULT ZuAudio_InitWfxFlex(WAVEFORMATEX* wfx, uint32_t roomBytes, uint16_t formatTag, uint16_t bitsPerSample,
                                        uint32_t samplesPerSec, uint16_t channels, uint32_t channelMask);

// Fills a stream format record (audio form) for a stream of `length` frames:
// clears bytes 16 to 183, writes cbSize (184, or the caller's larger value)
// and type 1, initialises `format` from wfx (room 96) and copies the 32-byte
// audio extension when given.
ZU_EXPORT_C HRESULT ZuFio_SetStreamFormatInfo(_ZUFILESTREAMFORMATINFOv2* record, const WAVEFORMATEX* wfx,
                                              const void* audioExtension, uint64_t length);

// ---------------------------------------------------------------------------
// Sample copy
// ---------------------------------------------------------------------------
// Converts `samples` samples from src to dst. Integer to float divides by
// 2^(bits-1) (8-bit unsigned around 128) then applies the gain; float to
// integer multiplies by the gain and 2^(bits-1), clamps to the integer range
// and rounds to nearest, ties to even (NaN gives silence). Integer to integer
// is the same rule in exact arithmetic: widening shifts left, narrowing rounds
// ties to even and clamps. Widening routines run from the end, narrowing ones
// from the start, so dst may equal src (a buffer sized for the wider type).
typedef void (*ZUSAMPLECOPYFUNC)(void* dst, const void* src, size_t samples, float gain);
// Copies, frame by frame, source channels firstSrc... into destination
// channels firstDst... (as many as both have), converting as above with gain
// 1. Other destination channels are not written.
typedef void (*ZUCHANNELCOPYFUNC)(void* dst, uint32_t dstChannels, uint32_t firstDstChannel, const void* src,
                                  uint32_t srcChannels, uint32_t firstSrcChannel, size_t frames);

// Copy routine for a (destination, source) pair of the types 16-19, 32, 33,
// 48, 49, 64-66; null for any other type.
ZU_EXPORT_C ZUSAMPLECOPYFUNC ZuAudio_GetCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType);
// Copy-channels routine from a record's sample type (also 128, 129) to a
// WAVEFORMATEX's; null when either has no routine.
ZU_EXPORT_C ZUCHANNELCOPYFUNC ZuAudio_GetCopyChannelsFunction(const WAVEFORMATEX* dst, const _zuwaveformat* src);
// Writes silence (128 for 8-bit unsigned, else zero) into one channel of every
// frame. E_FAIL for a type outside 16...66, E_INVALIDARG for a channel not
// below the channel count.
ZU_EXPORT_C HRESULT ZuAudio_MuteChannel(void* buffer, ZUSAMPLETYPE type, uint32_t channels, uint32_t channel,
                                        size_t frames);

#endif
