#include "reader/container_file.h"

#include <atomic>
#include <cstring>
#include <map>

#include "plugin/module_state.h"
#include "reader/read_file_class.h"

namespace zu {
namespace {

std::atomic<ULONG> g_containerFlags{0};

WAVEFORMATEX WfxOf(const _zuwaveformat& record) {
    WAVEFORMATEX wfx{};
    ZuAudio_WaveFormatToWfx(&record, &wfx);
    return wfx;
}

}  // namespace

ULONG ContainerFlags() { return g_containerFlags.load(); }

CDlsContainerFile::CDlsContainerFile() = default;

CDlsContainerFile* CDlsContainerFile::Create(const WCHAR* path, InstrumentKind kind, CDlsReadFileClass* owner) {
    auto* c = ZuNew<CDlsContainerFile>();
    if (!c) return nullptr;
    c->owner_ = owner;
    if (owner) owner->AddRef();
    g_containerFlags.fetch_or(3);
    size_t i = 0;
    for (; path && path[i] && i + 1 < 260; ++i) c->path_[i] = path[i];
    c->path_[i] = 0;
    c->instrument_ = ZuNew<CRiffInstrument>(c->path_, kind);
    if (c->instrument_ && c->instrument_->loadResult() == S_OK) c->ComputeAggregateFormat();
    return c;
}

CDlsContainerFile::~CDlsContainerFile() {
    // A host may hold a container past its read files: whenever it ends, it
    // leaves its class's list, so the list never holds an ended container.
    if (owner_) {
        owner_->ForgetContainer(this);
        owner_->Release();
    }
    ZuFree(expansion_);
    if (instrument_) {
        instrument_->CloseFiles();
        ZuDelete(instrument_);
    }
}

void CDlsContainerFile::ComputeAggregateFormat() {
    const uint32_t count = instrument_->WaveCount();
    if (count == 0) return;
    std::map<uint32_t, uint32_t> rateCounts;
    uint32_t best = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const WAVEFORMATEX wfx = WfxOf(instrument_->Entry(i)->format);
        if (i == 0) aggregate_ = wfx;
        const uint32_t n = ++rateCounts[wfx.nSamplesPerSec];
        bool changed = false;
        if (wfx.nChannels > aggregate_.nChannels) {
            aggregate_.nChannels = wfx.nChannels;
            changed = true;
        }
        if (wfx.wBitsPerSample > aggregate_.wBitsPerSample) {
            aggregate_.wBitsPerSample = wfx.wBitsPerSample;
            changed = true;
        }
        // The most frequent rate wins; among equals, the first to reach the count.
        if (n > best) {
            best = n;
            if (aggregate_.nSamplesPerSec != wfx.nSamplesPerSec) changed = true;
            aggregate_.nSamplesPerSec = wfx.nSamplesPerSec;
        }
        if (changed) {
            // In 32 bits (16-bit fields promote to int); a value beyond 16 bits wraps.
            aggregate_.nBlockAlign =
                static_cast<uint16_t>(static_cast<uint32_t>(aggregate_.nChannels) * aggregate_.wBitsPerSample / 8u);
            aggregate_.nAvgBytesPerSec = aggregate_.nSamplesPerSec * aggregate_.nBlockAlign;
        }
    }
    ZuAudio_InitWaveFormat(&aggregateRecord_.format, ZU_ENTRY_FORMAT_ROOM, &aggregate_);
    for (uint32_t i = 0; i < count; ++i) {
        InstrumentWaveEntry* e = instrument_->Entry(i);
        const uint16_t align = e->format.blockAlign;
        // A wave without a block alignment has no frames; its ratio stays 1.
        e->blockRatio = (align == 0 || align == aggregate_.nBlockAlign) ? 1u : aggregate_.nBlockAlign / align;
    }
}

HRESULT CDlsContainerFile::QueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    if (ZuGuidEqual(iid, IID_IZuContainerFile) || ZuGuidEqual(iid, IID_ZuIUnknown)) {
        AddRef();
        *out = static_cast<IZuContainerFile*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CDlsContainerFile::OpenContainerFiles(const WCHAR*) {
    ++openCount_;
    if (!instrument_) return ZU_E_FILE_OPEN;
    if (instrument_->AreFilesOpen()) return S_OK;
    return instrument_->OpenFiles(false);
}

HRESULT CDlsContainerFile::CloseContainerFiles(const WCHAR*) {
    if (--openCount_ <= 0) {
        openCount_ = 0;
        return instrument_ ? instrument_->CloseFiles() : S_OK;
    }
    return S_OK;
}

HRESULT CDlsContainerFile::GetContainerPath(WCHAR* buffer, ULONG capacity) {
    size_t len = 0;
    while (path_[len]) ++len;
    if (!buffer || len >= capacity) return S_FALSE;
    std::memcpy(buffer, path_, (len + 1) * sizeof(WCHAR));
    return S_OK;
}

HRESULT CDlsContainerFile::GetContainerFlags(ULONG* flags) {
    if (!flags) return E_POINTER;
    *flags = g_containerFlags.load();
    return S_OK;
}

HRESULT CDlsContainerFile::GetSubStreamCount(ULONG* count) {
    if (!count) return E_POINTER;
    *count = instrument_ ? instrument_->WaveCount() : 0;
    return S_OK;
}

HRESULT CDlsContainerFile::GetSubStreamInfo(ULONG index, InstrumentWaveEntry* info, ULONG flags) {
    if (!info) return E_POINTER;
    std::memset(info, 0, sizeof *info);
    if (!instrument_) return S_OK;
    const uint32_t count = instrument_->WaveCount();
    if (flags & 1) {
        if (count == 0) return S_OK;
        *info = *instrument_->Entry(0);
        const WCHAR* poolName = ZuGetString(ModuleLanguage(), 1149);
        size_t i = 0;
        for (; poolName[i] && i + 1 < 128; ++i) info->name[i] = poolName[i];
        info->name[i] = 0;
        // Counted in the pool's own frames, so that waves whose block alignment
        // does not divide the pool's are counted right too.
        info->dataBytes = info->frames * aggregate_.nBlockAlign;
        for (uint32_t w = 1; w < count; ++w) {
            const InstrumentWaveEntry* e = instrument_->Entry(w);
            info->frames += e->frames;
            info->dataBytes += e->frames * aggregate_.nBlockAlign;
            info->frames32 += e->frames32;
        }
        std::memset(&info->format, 0, ZU_ENTRY_FORMAT_ROOM);
        ZuAudio_InitWaveFormat(&info->format, ZU_ENTRY_FORMAT_ROOM, &aggregate_);
        return S_OK;
    }
    if (index < count) *info = *instrument_->Entry(index);
    return S_OK;
}

bool CDlsContainerFile::SamePath(const WCHAR* path) const {
    if (!path) return false;
    size_t i = 0;
    for (; i < 260 && path_[i] && path[i] == path_[i]; ++i) {
    }
    return i < 260 && path_[i] == path[i];
}

uint8_t* CDlsContainerFile::ExpansionBuffer(size_t bytes) {
    if (bytes > expansionSize_ || !expansion_) {
        auto* grown = static_cast<uint8_t*>(ZuAlloc(bytes ? bytes : 1));
        if (!grown) return nullptr;
        ZuFree(expansion_);
        expansion_ = grown;
        expansionSize_ = bytes;
    }
    return expansion_;
}

}  // namespace zu
