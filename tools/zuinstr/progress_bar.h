// A progress bar on standard error, drawn only when that is a terminal.
#ifndef ZUINSTR_TOOL_PROGRESS_BAR_H
#define ZUINSTR_TOOL_PROGRESS_BAR_H

#include <cstdint>
#include <string>

namespace zutool {

class ProgressBar {
public:
    ProgressBar(std::string label, uint64_t total, bool quiet);
    void Update(uint64_t done);
    void Finish();

private:
    std::string label_;
    uint64_t total_;
    bool enabled_;
    int lastPercent_ = -1;
};

}  // namespace zutool

#endif
