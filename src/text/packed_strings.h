#pragma once
// Short ASCII strings of a constant table held one after another, with two
// bytes for where each starts, instead of a pointer and a length apiece.
// Built at compile time from string_views; read as string_views.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velvane {

template <std::size_t Bytes, std::size_t Count>
struct PackedStrings {
    static_assert(Bytes <= 0xFFFF);
    std::array<char, Bytes> bytes{};
    std::array<std::uint16_t, Count + 1> starts{};

    constexpr std::string_view operator[](std::size_t i) const {
        return {bytes.data() + starts[i], static_cast<std::size_t>(starts[i + 1] - starts[i])};
    }
};

// The total length of the strings a table's rows give by `name_of`.
template <class Rows, class NameOf>
constexpr std::size_t packed_size(const Rows& rows, NameOf name_of) {
    std::size_t bytes = 0;
    for (const auto& row : rows) bytes += std::string_view(name_of(row)).size();
    return bytes;
}

// Packs the strings in order; Bytes must be their total length.
template <std::size_t Bytes, std::size_t Count>
constexpr PackedStrings<Bytes, Count> pack_strings(const std::array<std::string_view, Count>& strings) {
    PackedStrings<Bytes, Count> packed;
    std::size_t at = 0;
    for (std::size_t i = 0; i < Count; ++i) {
        packed.starts[i] = static_cast<std::uint16_t>(at);
        for (const char c : strings[i]) packed.bytes[at++] = c;
    }
    packed.starts[Count] = static_cast<std::uint16_t>(at);
    return packed;
}

}  // namespace velvane
