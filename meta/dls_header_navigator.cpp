#include "meta/dls_header_navigator.h"

#include <algorithm>

#include "kernel/byte_order.h"
#include "platform/platform.h"

namespace zu {

void DlsHeaderNavigator::Open(const uint8_t* image, uint32_t size) {
    Close();
    if (image && size) reader_.OpenMemoryReadOnly(image, size);
}

void DlsHeaderNavigator::Close() {
    reader_.Close();
    instrumentsKnown_ = false;
    instruments_.clear();
    regionsOf_ = 0xFFFFFFFFu;
    regions_.clear();
}

bool DlsHeaderNavigator::ReadTopChunk(uint32_t id, void* buffer, uint32_t count) {
    if (!reader_.IsOpen() || !reader_.Rewind()) return false;
    return reader_.ReadChunk(id, buffer, count, true) != 0;
}

bool DlsHeaderNavigator::ReadChunk(uint32_t id, void* buffer, uint32_t count) {
    return reader_.ReadChunk(id, buffer, count, true) != 0;
}

// Learns where each "ins " list of "lins" starts: the same lists the walk
// "enter and leave n lists, then enter the next" reaches.
void DlsHeaderNavigator::LearnInstruments() {
    instrumentsKnown_ = true;
    instruments_.clear();
    if (!reader_.Rewind() || !reader_.DescendList(FourCC("lins"))) return;
    while (reader_.DescendList(FourCC("ins "))) {
        instruments_.push_back(reader_.Current().dataOffset - 8);
        if (!reader_.AscendCurrent()) break;
    }
}

bool DlsHeaderNavigator::EnterAt(uint32_t listType, uint32_t offset) {
    return reader_.Seek(static_cast<int32_t>(offset), platform::SeekOrigin::Begin) != platform::kInvalidPosition &&
           reader_.DescendList(listType);
}

bool DlsHeaderNavigator::FindInstrument(uint32_t n) {
    if (!reader_.IsOpen()) return false;
    if (!instrumentsKnown_) LearnInstruments();
    if (n >= instruments_.size()) return false;
    if (!reader_.Rewind() || !reader_.DescendList(FourCC("lins"))) return false;
    return EnterAt(FourCC("ins "), instruments_[n]);
}

// Each step looks for the next "rgn2" list from where the last one ended and,
// failing that, for the next "rgn " list; a region list mixing both kinds is
// counted in that order.
void DlsHeaderNavigator::LearnRegions(uint32_t n) {
    regionsOf_ = n;
    regions_.clear();
    if (!FindInstrument(n) || !reader_.DescendList(FourCC("lrgn"))) return;
    const uint32_t lrgnDepth = static_cast<uint32_t>(reader_.Depth());
    uint32_t position = reader_.Position();
    for (;;) {
        uint32_t type = 0;
        reader_.Seek(static_cast<int32_t>(position), platform::SeekOrigin::Begin);
        if (reader_.DescendList(FourCC("rgn2"))) {
            type = FourCC("rgn2");
        } else {
            reader_.Seek(static_cast<int32_t>(position), platform::SeekOrigin::Begin);
            if (reader_.DescendList(FourCC("rgn "))) type = FourCC("rgn ");
        }
        if (!type) break;
        regions_.emplace_back(type, reader_.Current().dataOffset - 8);
        if (!reader_.AscendCurrent()) break;
        position = reader_.Position();
        if (static_cast<uint32_t>(reader_.Depth()) != lrgnDepth) break;
    }
}

bool DlsHeaderNavigator::FindRegion(uint32_t n, uint32_t r) {
    if (!reader_.IsOpen()) return false;
    if (regionsOf_ != n) LearnRegions(n);
    if (r >= regions_.size()) return false;
    if (!FindInstrument(n) || !reader_.DescendList(FourCC("lrgn"))) return false;
    return EnterAt(regions_[r].first, regions_[r].second);
}

std::u16string DlsHeaderNavigator::ReadName(uint32_t maxBytes) {
    std::u16string name;
    const uint32_t back = reader_.Position();
    if (reader_.DescendList(FourCC("INFO"))) {
        std::vector<char> text(maxBytes + 1, 0);
        if (reader_.ReadChunk(FourCC("INAM"), text.data(), maxBytes, true)) {
            const size_t len = std::find(text.begin(), text.end() - 1, '\0') - text.begin();
            name = platform::AnsiToU16(text.data(), len);
        }
        reader_.AscendCurrent();
    }
    reader_.Seek(static_cast<int32_t>(back), platform::SeekOrigin::Begin);
    return name;
}

}  // namespace zu
