// Opening an instrument file through the module as a host does: find the
// format class that accepts the file's first bytes, open a read file under a
// name (the whole pool, or "?a&N" for one wave), and reach its container and
// audio stream.
#ifndef ZUINSTR_TOOL_INSTRUMENT_SESSION_H
#define ZUINSTR_TOOL_INSTRUMENT_SESSION_H

#include <string>
#include <vector>

#include "module_session.h"
#include "zuinstr/zuinstr_audio.h"
#include "zuinstr/zuinstr_instrument.h"

namespace zutool {

struct FormatClass {
    GUID classId;
    std::string name;
};

// The module's format classes, in the order its information object lists them.
std::vector<FormatClass> ListFormatClasses(const Module& module);

// Which class accepts the file: its index in the list, or -1 with the
// module's result for the refusal in *refusal.
int IdentifyFile(const Module& module, const std::vector<FormatClass>& classes, const std::string& path,
                 HRESULT* refusal);

class OpenInstrument {
public:
    ~OpenInstrument();
    // Opens path (or path?a&wave when wave >= 0); on failure returns the result.
    HRESULT Open(const Module& module, const std::string& path, int wave);
    IZuReadFile* file() const { return file_; }
    IZuContainerFile* container() const { return container_; }
    IZuReadFileClass* fileClass() const { return class_; }
    const std::string& formatName() const { return formatName_; }
    // The stream, its WAVEFORMATEX and frame count.
    HRESULT Stream(IZuReadAudioStream** out, WAVEFORMATEX* format, uint64_t* frames) const;

private:
    const Module* module_ = nullptr;
    IZuReadFileClass* class_ = nullptr;
    IZuReadFile* file_ = nullptr;
    IZuContainerFile* container_ = nullptr;
    std::string formatName_;
};

// The module's conversion of a wave-format record into a WAVEFORMATEX.
bool RecordToWfx(const Module& module, const _zuwaveformat& record, WAVEFORMATEX* wfx);
std::basic_string<WCHAR> WidenPath(const std::string& utf8);
std::string FormatText(const WAVEFORMATEX& f);

}  // namespace zutool

#endif
