// Finds instruments and regions in a DLS or GIG header image. The chunk
// positions of instruments and of the last instrument's regions are learnt
// once, so that enumerating every region of every instrument stays linear.
#ifndef ZU_META_DLS_HEADER_NAVIGATOR_H
#define ZU_META_DLS_HEADER_NAVIGATOR_H

#include <cstdint>
#include <string>
#include <vector>

#include "riff/riff_handler.h"

namespace zu {

class DlsHeaderNavigator {
public:
    // Opens a reader over the header image (null or empty: nothing is found).
    void Open(const uint8_t* image, uint32_t size);
    void Close();
    bool IsOpen() const { return reader_.IsOpen(); }

    // Reads a top-level chunk (zero-filled beyond its size); false when absent.
    bool ReadTopChunk(uint32_t id, void* buffer, uint32_t count);
    // Enters instrument n's "ins " list; the reader stays inside it.
    bool FindInstrument(uint32_t n);
    // Enters region r of instrument n ("rgn2" preferred at every step, else "rgn ").
    bool FindRegion(uint32_t n, uint32_t r);
    // Reads a chunk inside the list the reader is in, keeping the position.
    bool ReadChunk(uint32_t id, void* buffer, uint32_t count);
    // The "INAM" of the "INFO" list inside the current list, as UTF-16.
    std::u16string ReadName(uint32_t maxBytes);

private:
    bool EnterAt(uint32_t listType, uint32_t offset);
    void LearnInstruments();
    void LearnRegions(uint32_t n);

    CRiffMemFile reader_;
    bool instrumentsKnown_ = false;
    std::vector<uint32_t> instruments_;  // offsets of the "ins " list headers
    uint32_t regionsOf_ = 0xFFFFFFFFu;
    std::vector<std::pair<uint32_t, uint32_t>> regions_;  // list type and header offset
};

}  // namespace zu

#endif
