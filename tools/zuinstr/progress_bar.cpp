#include "progress_bar.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define ZU_ISATTY _isatty
#define ZU_FILENO _fileno
#else
#include <unistd.h>
#define ZU_ISATTY isatty
#define ZU_FILENO fileno
#endif

namespace zutool {

ProgressBar::ProgressBar(std::string label, uint64_t total, bool quiet)
    : label_(std::move(label)), total_(total), enabled_(!quiet && ZU_ISATTY(ZU_FILENO(stderr))) {}

void ProgressBar::Update(uint64_t done) {
    if (!enabled_ || total_ == 0) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    const int width = 40, filled = percent * width / 100;
    std::fprintf(stderr, "\r%s [", label_.c_str());
    for (int i = 0; i < width; ++i) std::fputc(i < filled ? '#' : '.', stderr);
    std::fprintf(stderr, "] %3d%%", percent);
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (enabled_ && lastPercent_ >= 0) std::fputc('\n', stderr);
    lastPercent_ = -1;
}

}  // namespace zutool
