#include "safe_save.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "cli.h"
#include "instrument_session.h"
#include "progress_bar.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zutool {
namespace {

// The host's progress sink: the module reports percentages to the tool's bar.
class BarSink final : public IZuProgressSink {
public:
    explicit BarSink(bool quiet) : bar_("saving", 100, quiet) {}
    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override {
        if (!ZuGuidEqual(iid, IID_ZuIUnknown)) return E_NOINTERFACE;
        *out = this;
        return S_OK;
    }
    ULONG ZU_STDCALL AddRef() override { return 2; }
    ULONG ZU_STDCALL Release() override { return 1; }
    HRESULT ZU_STDCALL Start(ULONG, ULONG) override { return S_OK; }
    HRESULT ZU_STDCALL SinkSlot4() override { return S_OK; }
    HRESULT ZU_STDCALL SinkSlot5() override { return S_OK; }
    HRESULT ZU_STDCALL Progress(ULONG percent) override {
        bar_.Update(percent);
        return S_OK;
    }
    void Finish() { bar_.Finish(); }

private:
    ProgressBar bar_;
};

std::filesystem::path U8Path(const std::string& s) { return std::filesystem::u8path(s); }

bool ReplaceFile(const std::string& from, const std::string& to, std::string* error) {
#ifdef _WIN32
    if (MoveFileExW(WidenPath(from).c_str(), WidenPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (error) *error = "cannot move " + from + " to " + to + " (error " + std::to_string(GetLastError()) + ")";
    return false;
#else
    std::error_code ec;
    std::filesystem::rename(U8Path(from), U8Path(to), ec);  // atomic on one file system
    if (ec && error) *error = "cannot move " + from + " to " + to + ": " + ec.message();
    return !ec;
#endif
}

}  // namespace

SafeSave::~SafeSave() {
    if (!temporary_.empty() && !committed_) {
        std::error_code ec;
        std::filesystem::remove(U8Path(temporary_), ec);
        std::filesystem::remove(U8Path(temporary_ + ".zul"), ec);
    }
}

HRESULT SafeSave::Render(const CLSID& classId, IUnknown* audio, IUnknown* metadata, bool quiet) {
#ifdef _WIN32
    const unsigned long pid = GetCurrentProcessId();
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    // Beside the target, so the final rename never crosses a file system.
    temporary_ = target_ + ".partial-" + std::to_string(pid);
    IZuRenderFileClass* cls = nullptr;
    HRESULT hr = module_.Create(classId, IID_IZuRenderFileClass, reinterpret_cast<void**>(&cls));
    if (FAILED(hr)) return hr;
    IZuRenderFile* file = nullptr;
    const auto wide = WidenPath(temporary_);
    hr = cls->CreateRenderFile(&file, wide.c_str(), 1, &audio, nullptr);
    if (SUCCEEDED(hr)) {
        file->SetMetadataSource(metadata);
        BarSink sink(quiet);
        hr = file->Render(&sink);
        sink.Finish();
        file->Release();
    }
    cls->Release();
    rendered_ = SUCCEEDED(hr) && hr != S_FALSE;
    if (hr == S_FALSE) hr = static_cast<HRESULT>(0x8004E01AL);  // the source had no audio stream
    return hr;
}

bool SafeSave::Commit(std::string* error) {
    if (!rendered_) return false;
    if (!ReplaceFile(temporary_, target_, error)) return false;
    committed_ = true;
    std::error_code ec;
    const std::string side = temporary_ + ".zul", targetSide = target_ + ".zul";
    if (std::filesystem::exists(U8Path(side), ec)) {
        if (!ReplaceFile(side, targetSide, error)) return false;
    } else {
        std::filesystem::remove(U8Path(targetSide), ec);  // the old one described the old file
    }
    return true;
}

int CommitAndReport(SafeSave& save, const std::string& target, bool quiet) {
    std::string error;
    if (!save.Commit(&error)) {
        std::fprintf(stderr, "zuinstr: %s\n", error.c_str());
        return kExitRefused;
    }
    if (!quiet) std::fprintf(stderr, "saved %s\n", target.c_str());
    return kExitOk;
}

int KindOfTarget(const std::string& path) {
    std::string ext = U8Path(path).extension().u8string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".dls") return 0;
    if (ext == ".gig") return 1;
    if (ext == ".sf2") return 2;
    return -1;
}

const CLSID& ClassOfKind(int kind) {
    return kind == 1 ? CLSID_ZuGigInstrument : kind == 2 ? CLSID_ZuSf2Instrument : CLSID_ZuDlsInstrument;
}

int KindOfFormatName(const std::string& name) {
    if (name.find("SoundFont") != std::string::npos) return 2;
    if (name.find("Gig") != std::string::npos || name.find("GIG") != std::string::npos) return 1;
    return 0;
}

const char* KindName(int kind) { return kind == 1 ? "GIG" : kind == 2 ? "SoundFont 2" : "DLS"; }

}  // namespace zutool
