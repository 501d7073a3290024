// The reader file class of one instrument format: the host's handle on a
// readable format. It identifies files, hands out texts, and opens files as
// read files; the containers it opened are shared by path.
#ifndef ZU_READER_READ_FILE_CLASS_H
#define ZU_READER_READ_FILE_CLASS_H

#include "plugin/com_object.h"
#include "reader/format_identity.h"
#include "zuinstr/zuinstr.h"

namespace zu {

class CDlsContainerFile;

// The module-wide class capability word: 0x2046 once a reader class exists.
ULONG ReaderClassCapabilities();

class CDlsReadFileClass : public IZuReadFileClass, public RefCounted<CDlsReadFileClass> {
public:
    explicit CDlsReadFileClass(InstrumentKind kind);
    virtual ~CDlsReadFileClass();
    bool Ready() const { return containers_ != nullptr; }

    HRESULT ZU_STDCALL QueryInterface(const IID& iid, void** out) override;
    ULONG ZU_STDCALL AddRef() override { return AddRefImpl(); }
    ULONG ZU_STDCALL Release() override { return ReleaseImpl(); }
    HRESULT ZU_STDCALL SetUserValue(ULONG value) override;
    HRESULT ZU_STDCALL GetUserValue(ULONG* value) override;
    HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) override;
    HRESULT ZU_STDCALL GetFileIOManager(IZuFileIOManager** manager) override;
    HRESULT ZU_STDCALL GetClassGuid(GUID* readerIdentity) override;
    HRESULT ZU_STDCALL GetVersion(ULONG* version) override;
    HRESULT ZU_STDCALL GetCapabilities(ULONG* capabilities) override;
    HRESULT ZU_STDCALL GetRenderFileClass(IZuRenderFileClass** out) override;
    HRESULT ZU_STDCALL GetInfoText(const ULONG* identifiers, ULONG count, BSTR* texts) override;
    HRESULT ZU_STDCALL IdentifyHeader(void* ignored, const uint8_t* header, ULONG length) override;
    HRESULT ZU_STDCALL IdentifyFile(const WCHAR* path) override;
    HRESULT ZU_STDCALL ReservedClassOp1(ULONG) override { return E_NOTIMPL; }
    HRESULT ZU_STDCALL OpenFile(IZuReadFile** out, void* ignored1, void* ignored2, const WCHAR* path,
                                ULONG openNow) override;
    HRESULT ZU_STDCALL ReservedClassOp2() override { return S_OK; }
    HRESULT ZU_STDCALL ShowAbout(void* parentWindow) override;
    HRESULT ZU_STDCALL ReservedClassOp3(void*, void*) override { return E_NOTIMPL; }

    InstrumentKind kind() const { return kind_; }
    // The container of a path, shared by every read file of that path: a new
    // reference on the listed one, or a new container appended to the list.
    CDlsContainerFile* AcquireContainer(const WCHAR* path);
    // Gives a read file's reference back.
    void ReturnContainer(CDlsContainerFile* container);
    // Called by a container as it ends: it leaves the list.
    void ForgetContainer(CDlsContainerFile* container);

protected:
    IZuFileIOManager* manager_ = nullptr;  // the host's, held without a reference

private:
    ULONG userValue_ = 0;
    tZULIST* containers_ = nullptr;
    InstrumentKind kind_;
};

// GIG and SoundFont 2 keep a second manager pointer for their render-class
// lookup and refuse files with compressed waves when opening.
class CGigReadFileClass final : public CDlsReadFileClass {
public:
    explicit CGigReadFileClass(InstrumentKind kind) : CDlsReadFileClass(kind) {}
    HRESULT ZU_STDCALL SetFileIOManager(IZuFileIOManager* manager) override;
    HRESULT ZU_STDCALL GetRenderFileClass(IZuRenderFileClass** out) override;
    HRESULT ZU_STDCALL OpenFile(IZuReadFile** out, void* ignored1, void* ignored2, const WCHAR* path,
                                ULONG openNow) override;

private:
    IZuFileIOManager* ownManager_ = nullptr;
};
using CSf2ReadFileClass = CGigReadFileClass;

}  // namespace zu

#endif
