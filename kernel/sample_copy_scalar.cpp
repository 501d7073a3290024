// The portable copy routines: one instantiation of the sample codec per
// (destination, source) pair, in tables indexed by both types.
#include <algorithm>
#include <array>
#include <utility>

#include "kernel/sample_codec.h"
#include "kernel/sample_copy.h"

namespace zu::audio {

namespace {

using codec::Converter;
using codec::CopySamples;
using codec::Sample;

constexpr size_t kTypeCount = std::size(kCopyTypes);

// Copy-channels sources: every copy type, then the unsigned ones.
constexpr std::array<ZUSAMPLETYPE, kTypeCount + std::size(kChannelOnlySourceTypes)> MakeChannelSources() {
    std::array<ZUSAMPLETYPE, kTypeCount + std::size(kChannelOnlySourceTypes)> all{};
    size_t i = 0;
    for (ZUSAMPLETYPE t : kCopyTypes) all[i++] = t;
    for (ZUSAMPLETYPE t : kChannelOnlySourceTypes) all[i++] = t;
    return all;
}
constexpr auto kChannelSources = MakeChannelSources();

template <ZUSAMPLETYPE DT, ZUSAMPLETYPE ST>
void CopyChannels(void* dst, uint32_t dstChannels, uint32_t firstDst, const void* src, uint32_t srcChannels,
                  uint32_t firstSrc, size_t frames) {
    using D = Sample<DT>;
    using S = Sample<ST>;
    if (!dst || !src || firstDst >= dstChannels || firstSrc >= srcChannels) return;
    const uint32_t count = std::min(dstChannels - firstDst, srcChannels - firstSrc);
    const Converter<D, S, true> convert(1.0f);
    auto* d = static_cast<uint8_t*>(dst) + firstDst * D::kBytes;
    const auto* s = static_cast<const uint8_t*>(src) + firstSrc * S::kBytes;
    const size_t dstStride = dstChannels * D::kBytes;
    const size_t srcStride = srcChannels * S::kBytes;
    for (size_t f = 0; f < frames; ++f, d += dstStride, s += srcStride)
        for (uint32_t c = 0; c < count; ++c) convert(d + c * D::kBytes, s + c * S::kBytes);
}

template <ZUSAMPLETYPE DT, size_t... J>
constexpr std::array<ZUSAMPLECOPYFUNC, sizeof...(J)> CopyRow(std::index_sequence<J...>) {
    return {{&CopySamples<DT, kCopyTypes[J]>...}};
}
template <size_t... I>
constexpr std::array<std::array<ZUSAMPLECOPYFUNC, kTypeCount>, sizeof...(I)> CopyTable(std::index_sequence<I...>) {
    return {{CopyRow<kCopyTypes[I]>(std::make_index_sequence<kTypeCount>{})...}};
}
constexpr auto kCopyTable = CopyTable(std::make_index_sequence<kTypeCount>{});

template <ZUSAMPLETYPE DT, size_t... J>
constexpr std::array<ZUCHANNELCOPYFUNC, sizeof...(J)> ChannelRow(std::index_sequence<J...>) {
    return {{&CopyChannels<DT, kChannelSources[J]>...}};
}
template <size_t... I>
constexpr std::array<std::array<ZUCHANNELCOPYFUNC, kChannelSources.size()>, sizeof...(I)> ChannelTable(
    std::index_sequence<I...>) {
    return {{ChannelRow<kCopyTypes[I]>(std::make_index_sequence<kChannelSources.size()>{})...}};
}
constexpr auto kChannelTable = ChannelTable(std::make_index_sequence<kTypeCount>{});

template <class List>
int IndexIn(const List& list, ZUSAMPLETYPE type) {
    const auto it = std::find(std::begin(list), std::end(list), type);
    return it == std::end(list) ? -1 : static_cast<int>(it - std::begin(list));
}

}  // namespace

ZUSAMPLECOPYFUNC GetScalarCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType) {
    const int d = IndexIn(kCopyTypes, dstType);
    const int s = IndexIn(kCopyTypes, srcType);
    return (d < 0 || s < 0) ? nullptr : kCopyTable[d][s];
}

ZUCHANNELCOPYFUNC GetChannelCopyFunction(ZUSAMPLETYPE dstType, ZUSAMPLETYPE srcType) {
    const int d = IndexIn(kCopyTypes, dstType);
    const int s = IndexIn(kChannelSources, srcType);
    return (d < 0 || s < 0) ? nullptr : kChannelTable[d][s];
}

}  // namespace zu::audio
