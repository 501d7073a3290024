// The parsed instrument of one path, shared by every read file of that path
// and reader class: it owns the instrument, lists the waves as sub-streams and
// computes the format of the aggregated stream (the whole pool as one stream).
#ifndef ZU_READER_CONTAINER_FILE_H
#define ZU_READER_CONTAINER_FILE_H

#include "instrument/riff_instrument.h"
#include "plugin/com_object.h"
#include "zuinstr/zuinstr.h"
#include "zuinstr/zuinstr_audio.h"

namespace zu {

// The module-wide container flag word: 3 once a container exists.
ULONG ContainerFlags();

class CDlsContainerFile final : public IZuContainerFile, public RefCounted<CDlsContainerFile> {
public:
    // Null only when memory runs out; an instrument that failed to load still
    // gives a container (whose instrument reports the failure).
    // The container takes a reference on its class, whose list it leaves when it ends.
    static CDlsContainerFile* Create(const WCHAR* path, InstrumentKind kind, class CDlsReadFileClass* owner);
    ~CDlsContainerFile();

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL OpenContainerFiles(const WCHAR* path) override;
    HRESULT ZU_STDCALL CloseContainerFiles(const WCHAR* path) override;
    HRESULT ZU_STDCALL GetContainerPath(WCHAR* buffer, ULONG capacity) override;
    HRESULT ZU_STDCALL GetContainerFlags(ULONG* flags) override;
    HRESULT ZU_STDCALL GetSubStreamCount(ULONG* count) override;
    HRESULT ZU_STDCALL GetSubStreamInfo(ULONG index, InstrumentWaveEntry* info, ULONG flags) override;

    bool SamePath(const WCHAR* path) const;
    CRiffInstrument* instrument() const { return instrument_; }
    const WAVEFORMATEX& aggregateFormat() const { return aggregate_; }
    const _zuwaveformat& aggregateRecord() const { return aggregateRecord_.format; }
    // The buffer a stream converts waves through; grown on demand, null when
    // memory runs out.
    uint8_t* ExpansionBuffer(size_t bytes);

    CDlsContainerFile();  // for the allocator; use Create

private:
    void ComputeAggregateFormat();

    WCHAR path_[260] = {};
    WAVEFORMATEX aggregate_ = {};
    _zuwaveformatmax aggregateRecord_ = {};
    uint8_t* expansion_ = nullptr;
    size_t expansionSize_ = 0;
    CRiffInstrument* instrument_ = nullptr;
    int32_t openCount_ = 0;
    class CDlsReadFileClass* owner_ = nullptr;
};

}  // namespace zu

#endif
