#include "instrument_session.h"

#include <cstdio>
#include <fstream>

namespace zutool {

std::basic_string<WCHAR> WidenPath(const std::string& utf8) {
    std::basic_string<WCHAR> out;
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t c = b;
        size_t n = 1;
        if (b >= 0xF0) { c = b & 0x07; n = 4; }
        else if (b >= 0xE0) { c = b & 0x0F; n = 3; }
        else if (b >= 0xC0) { c = b & 0x1F; n = 2; }
        for (size_t k = 1; k < n && i + k < utf8.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (c >> 10));
            out += static_cast<WCHAR>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<WCHAR>(c);
        }
    }
    return out;
}

std::vector<FormatClass> ListFormatClasses(const Module& module) {
    std::vector<FormatClass> classes;
    IZuUnsharedFIOPluginInfo* info = nullptr;
    if (FAILED(module.Create(CLSID_ZuUnsharedFIOPluginInfo, IID_IZuUnsharedFIOPluginInfo, reinterpret_cast<void**>(&info))))
        return classes;
    ULONG count = 0;
    info->GetClassCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        FormatClass c{};
        WCHAR name[128] = {0};
        if (SUCCEEDED(info->GetClassInfo(static_cast<int32_t>(i), &c.classId, name, 128, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr))) {
            c.name = Utf8(name);
            classes.push_back(c);
        }
    }
    info->Release();
    return classes;
}

int IdentifyFile(const Module& module, const std::vector<FormatClass>& classes, const std::string& path, HRESULT* refusal) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> head(4096);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    *refusal = in ? S_OK : static_cast<HRESULT>(0x8004E007L);
    if (head.empty()) {
        *refusal = static_cast<HRESULT>(0x8004E007L);
        return -1;
    }
    for (size_t i = 0; i < classes.size(); ++i) {
        IZuReadFileClass* cls = nullptr;
        if (FAILED(module.Create(classes[i].classId, IID_IZuReadFileClass, reinterpret_cast<void**>(&cls)))) continue;
        const HRESULT hr = cls->IdentifyHeader(nullptr, head.data(), static_cast<ULONG>(head.size()));
        cls->Release();
        if (hr == S_OK) return static_cast<int>(i);
        *refusal = hr;
    }
    return -1;
}

OpenInstrument::~OpenInstrument() {
    if (container_) container_->Release();
    if (file_) {
        file_->CloseFile();
        file_->Release();
    }
    if (class_) class_->Release();
}

HRESULT OpenInstrument::Open(const Module& module, const std::string& path, int wave) {
    module_ = &module;
    const auto classes = ListFormatClasses(module);
    HRESULT refusal = S_OK;
    const int which = IdentifyFile(module, classes, path, &refusal);
    if (which < 0) return refusal;
    formatName_ = classes[which].name;
    HRESULT hr = module.Create(classes[which].classId, IID_IZuReadFileClass, reinterpret_cast<void**>(&class_));
    if (FAILED(hr)) return hr;
    std::basic_string<WCHAR> name = WidenPath(path);
    if (wave >= 0) name += WidenPath("?a&" + std::to_string(wave));
    hr = class_->OpenFile(&file_, nullptr, nullptr, name.c_str(), 1);
    if (FAILED(hr)) return hr;
    if (!file_) return static_cast<HRESULT>(0x8004E007L);
    ULONG count = 0;
    if (file_->GetStreamCount(&count) != S_OK || count == 0) return static_cast<HRESULT>(0x8004E007L);
    hr = file_->QueryInterface(IID_IZuContainerFile, reinterpret_cast<void**>(&container_));
    if (FAILED(hr)) return hr;
    // OpenFile of some formats reports a failed load only here.
    if (file_->IsFileClosed()) return static_cast<HRESULT>(0x8004E007L);
    return S_OK;
}

HRESULT OpenInstrument::Stream(IZuReadAudioStream** out, WAVEFORMATEX* format, uint64_t* frames) const {
    IZuReadStream* stream = nullptr;
    HRESULT hr = file_->GetStream(&stream, ZU_STREAM_TYPE_AUDIO, 0, nullptr, nullptr);
    if (FAILED(hr) || !stream) return FAILED(hr) ? hr : E_FAIL;
    hr = stream->QueryInterface(IID_IZuReadAudioStream, reinterpret_cast<void**>(out));
    stream->Release();
    if (FAILED(hr)) return hr;
    _ZUFILESTREAMFORMATINFOv2 record{};
    record.cbSize = sizeof record;
    hr = (*out)->GetFormatInfo(&record);
    if (FAILED(hr)) return hr;
    if (!RecordToWfx(*module_, record.format, format)) return E_FAIL;
    (*out)->GetFrameCount(frames);
    return S_OK;
}

bool RecordToWfx(const Module& module, const _zuwaveformat& record, WAVEFORMATEX* wfx) {
    using Fn = HRESULT (*)(const _zuwaveformat*, WAVEFORMATEX*);
    auto fn = reinterpret_cast<Fn>(module.Symbol("ZuAudio_WaveFormatToWfx"));
    return fn && SUCCEEDED(fn(&record, wfx));
}

std::string FormatText(const WAVEFORMATEX& f) {
    char buf[96];
    const char* kind = f.wFormatTag == 3 ? "float" : f.wFormatTag == 1 ? "PCM" : "tag";
    std::snprintf(buf, sizeof buf, "%u Hz %u-bit %s %s", static_cast<unsigned>(f.nSamplesPerSec), f.wBitsPerSample, kind,
                  f.nChannels == 1 ? "mono" : f.nChannels == 2 ? "stereo" : "multichannel");
    return buf;
}

}  // namespace zutool
