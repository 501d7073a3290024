// Reports a writer's progress to the host's sink: a start with the range 0 to
// 100, then the whole percentage of the estimated total after each block.
#ifndef ZU_RENDER_PROGRESS_REPORTER_H
#define ZU_RENDER_PROGRESS_REPORTER_H

#include <algorithm>

#include "zuinstr/zuinstr.h"

namespace zu {

class ProgressReporter {
public:
    ProgressReporter(IZuProgressSink* sink, uint64_t totalBytes) : sink_(sink), total_(totalBytes) {}
    HRESULT Start() { return sink_ ? (last_ = sink_->Start(0, 100)) : S_OK; }
    HRESULT Add(uint64_t bytes) {
        written_ += bytes;
        if (!sink_) return S_OK;
        const uint64_t percent = total_ ? std::min<uint64_t>(written_ * 100 / total_, 100) : 100;
        last_ = sink_->Progress(static_cast<ULONG>(percent));
        return last_;
    }
    bool HasSink() const { return sink_ != nullptr; }
    HRESULT last() const { return last_; }

private:
    IZuProgressSink* sink_;
    uint64_t total_;
    uint64_t written_ = 0;
    HRESULT last_ = S_OK;
};

}  // namespace zu

#endif
