// The one in-memory model of an instrument file, whatever its format: the set
// of files that make it up (opened only while samples are read), a flat list
// of waves, and the byte images cut out of the file (header image, wave-pool
// image, layout) that metadata objects parse on demand and that travel to the
// host as the instrument image ("META").
#ifndef ZU_INSTRUMENT_RIFF_INSTRUMENT_H
#define ZU_INSTRUMENT_RIFF_INSTRUMENT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "plugin/instrument_kind.h"
#include "riff/riff_handler.h"
#include "zuinstr/zuinstr_instrument.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_list.h"

namespace zu {

// One file of an instrument's set: the RIFF reader and where its pool lies.
class InstrumentRiffFile : public CRiffFile {
public:
    uint32_t wavePoolBase = 0;     // the byte after the "wvpl" list type; cue offsets count from here
    uint32_t poolTableOffset = 0;  // data offset of "ptbl" (main file only)
};

// The files of an instrument: index 0 the main file, then GIG extension files
// in "xfil" order. Open exactly when it holds at least one file.
class RiffFileSet {
public:
    RiffFileSet() = default;
    ~RiffFileSet() { Close(); }
    RiffFileSet(const RiffFileSet&) = delete;
    RiffFileSet& operator=(const RiffFileSet&) = delete;

    bool IsOpen() const { return !files_.empty(); }
    uint32_t Count() const { return static_cast<uint32_t>(files_.size()); }
    InstrumentRiffFile* File(uint32_t index) const { return index < files_.size() ? files_[index].get() : nullptr; }
    void Append(std::unique_ptr<InstrumentRiffFile> file) { files_.push_back(std::move(file)); }
    void Close() { files_.clear(); }  // each file closes itself, ascending its open chunks

    InstrumentKind kind = kInstrumentDls;
    uint32_t extensionCount = 0;
    std::vector<std::string> extensionNames;  // as read from "xfil", ANSI

private:
    std::vector<std::unique_ptr<InstrumentRiffFile>> files_;
};

class CRiffInstrument {
public:
    // Loads a file (DLS and GIG with their extension files, or SoundFont 2);
    // loadResult() tells whether it worked. The file set is closed afterwards.
    CRiffInstrument(const WCHAR* path, InstrumentKind kind);
    // Rebuilds an instrument from a host metadata object (its wave records
    // and instrument image) without any file; writes nothing.
    CRiffInstrument(IUnknown* source, InstrumentKind kind);
    virtual ~CRiffInstrument();
    CRiffInstrument(const CRiffInstrument&) = delete;
    CRiffInstrument& operator=(const CRiffInstrument&) = delete;

    // Reads one wave whose "wave" list the file is positioned in (DLS, GIG);
    // returns the data byte count.
    virtual uint32_t ReadWave(InstrumentRiffFile& file, InstrumentWaveEntry& entry, InstrumentWaveInfo& info,
                              uint32_t fileIndex);

    InstrumentKind kind() const { return kind_; }
    HRESULT loadResult() const { return loadResult_; }
    uint32_t WaveCount() const;
    InstrumentWaveInfo* Wave(uint32_t index) const;         // null when out of range
    InstrumentWaveEntry* Entry(uint32_t index) const;       // null when out of range
    tZULIST* waves() const { return waves_; }
    tZULIST* waveEntries() const { return waveEntries_; }
    uint64_t totalFrames() const { return totalFrames_; }
    const uint8_t* header() const { return header_; }
    uint32_t headerSize() const { return headerSize_; }
    const uint8_t* wavePool() const { return wavePool_; }
    uint32_t wavePoolSize() const { return wavePoolSize_; }
    const InstrumentLayout& layout() const { return layout_; }

    // Reopens the file set for reading; 0 or 0x8004E007 (the set stays closed).
    HRESULT OpenFiles(bool withLayout);
    HRESULT CloseFiles();
    bool AreFilesOpen() const { return files_.IsOpen(); }
    // The handle of the file holding a wave, or of file `index`; null when
    // the set is closed or the index is out of range.
    platform::FileHandle GetFileHandle(const InstrumentWaveEntry& entry) const;
    platform::FileHandle GetFileHandleByIndex(uint32_t index) const;

    // The instrument image: "META" holding "ARTG" (header image), "WAVG"
    // (wave-pool image) and "LAYG" (layout).
    uint32_t GetImageSize() const;
    uint32_t WriteImage(void* buffer) const;

protected:
    CRiffInstrument(InstrumentKind kind);  // an empty instrument, for builders
    HRESULT LoadDlsOrGig();
    HRESULT LoadSoundFont();
    HRESULT OpenDlsFileSet(bool withLayout);
    HRESULT OpenSoundFontFileSet(bool withLayout);
    HRESULT BuildDlsWavePoolImage(const uint64_t* cues, uint32_t cueCount);
    // Appends a filled wave; the instrument takes ownership of info.
    HRESULT AppendWave(const InstrumentWaveEntry& entry, InstrumentWaveInfo* info);

    InstrumentKind kind_;
    uint32_t headerSize_ = 0;
    uint8_t* header_ = nullptr;  // from ZuAlloc
    uint32_t wavePoolSize_ = 0;
    uint8_t* wavePool_ = nullptr;  // from ZuAlloc
    tZULIST* waves_ = nullptr;         // pointers to owned InstrumentWaveInfo records
    tZULIST* waveEntries_ = nullptr;   // owned InstrumentWaveEntry items
    uint64_t totalFrames_ = 0;
    IUnknown* source_ = nullptr;       // the host metadata object an instrument was built from (not owned)
    HRESULT loadResult_ = 0;
    InstrumentLayout layout_ = {};
    RiffFileSet files_;
};

}  // namespace zu

#endif
