// Writing the host's summary into a rendered RIFF file and its side file.
#include "kernel/meta_writer.h"

#include <new>
#include <string>

#include "kernel/byte_order.h"
#include "kernel/host_summary.h"
#include "kernel/info_list.h"
#include "kernel/meta_side_file.h"
#include "kernel/riff_file_edit.h"
#include "plugin/com_object.h"
#include "zuinstr/zuinstr_guids.h"
#include "zuinstr/zuinstr_render.h"

namespace zu {
namespace {

HRESULT WriteSideHeader(platform::FileHandle file) {
    uint8_t head[12];
    StoreLE32(head, FourCC("RIFF"));
    StoreLE32(head + 4, 4);
    StoreLE32(head + 8, FourCC("ZUPL"));
    uint32_t done = 0;
    if (!platform::FileSetPosition(file, 0) || !platform::FileWrite(file, head, sizeof head, &done) ||
        done != sizeof head)
        return ZU_E_FILE_WRITE;
    return S_OK;
}

HRESULT FillSideFile(platform::FileHandle file, const WCHAR* mediaPath, IUnknown* metadata) {
    ZU_RETURN_IF_FAILED(WriteSideHeader(file));
    ZU_RETURN_IF_FAILED(WriteSummaryList(file, metadata));
    const std::basic_string<WCHAR> name = MediaFileName(mediaPath);
    const std::string chunk = BuildNameChunk(name.data(), name.size());
    return riff_AppendToForm(file, chunk.data(), static_cast<uint32_t>(chunk.size()));
}

HRESULT WriteSideFile(const WCHAR* mediaPath, IUnknown* metadata) {
    WCHAR side[kMetaNameLimit];
    ZU_RETURN_IF_FAILED(ZuFMMeta_CreateMetaName(mediaPath, side, kMetaNameLimit, TRUE));
    uint32_t error = 0;
    ScopedFile file(platform::FileOpen(side, platform::FileAccess::ReadWrite, platform::FileShare::ReadWrite,
                                       platform::FileDisposition::CreateAlways, false, &error));
    if (!file) return platform::HresultFromError(error);
    const HRESULT hr = FillSideFile(file.Get(), mediaPath, metadata);
    if (FAILED(hr)) {
        // A half-written side file would be taken for a good one later.
        file.Close();
        platform::FileDelete(side);
    }
    return hr;
}

// Both spellings of a side file that says it belongs to this media file.
void RemoveStaleSideFiles(const WCHAR* mediaPath) {
    for (const BOOL append : {FALSE, TRUE}) {
        WCHAR side[kMetaNameLimit];
        if (SUCCEEDED(ZuFMMeta_CreateMetaName(mediaPath, side, kMetaNameLimit, append)) &&
            ZuFMMeta_IsMetaFile(mediaPath, side))
            platform::FileDelete(side);
    }
}

HRESULT WriteMeta(const WCHAR* mediaPath, IUnknown* metadata, ULONG fileKinds, ULONG sideKinds) {
    const bool sideSummary = (sideKinds & kMetaKindSummary) && CountHostSummaryItems(metadata) > 0;
    RemoveStaleSideFiles(mediaPath);
    if (sideSummary) ZU_RETURN_IF_FAILED(WriteSideFile(mediaPath, metadata));
    if (!(fileKinds & kMetaKindSummary)) return S_OK;

    uint32_t error = 0;
    ScopedFile media(platform::FileOpen(mediaPath, platform::FileAccess::ReadWrite, platform::FileShare::ReadWrite,
                                        platform::FileDisposition::OpenExisting, false, &error));
    if (!media) return platform::HresultFromError(error);
    const HRESULT hr = riff_DeleteChunk(media.Get(), FourCC("INFO"), nullptr, true);
    if (FAILED(hr) && hr != ZU_E_NOT_FOUND) return hr;
    return WriteSummaryList(media.Get(), metadata);
}

}  // namespace

HRESULT WriteSummaryList(platform::FileHandle file, IUnknown* metadata) {
    InfoListBuilder list;
    bool found = false;
    ZU_RETURN_IF_FAILED(ReadHostSummary(
        metadata, [&list](uint32_t fourCC, const WCHAR* text, size_t len) { return list.Add(fourCC, text, len); },
        &found));
    if (list.ItemCount() == 0) return S_OK;
    const std::string& bytes = list.Bytes();
    return riff_AppendToForm(file, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace zu

ZU_EXPORT_C HRESULT ZuFMMeta_openAndWriteMetaStreamEx(const WCHAR* mediaPath, BOOL keepExisting, ULONG /*sampleRate*/,
                                                      IUnknown* metadata, ULONG fileKinds, ULONG sideKinds) {
    if (!mediaPath || !mediaPath[0]) return E_INVALIDARG;
    // Keeping the existing metadata is a mode of the library's other callers;
    // this module always replaces it, so the mode is refused, not guessed.
    if (keepExisting) return E_NOTIMPL;
    try {
        return zu::WriteMeta(mediaPath, metadata, fileKinds, sideKinds);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
