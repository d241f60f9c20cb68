// An owned copy of a name in eight bytes. A name of up to seven bytes (a
// yeast ORF, a BioGRID or Entrez number) sits in place; a longer one is
// copied to the heap. The pair records carry two names each, and the
// candidate table of a proteome holds millions of records that carry none:
// as std::string the two would take 64 of a record's 88 bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace ddinfer {

class ShortName {
public:
    ShortName() = default;
    explicit ShortName(std::string_view text);
    ShortName(const ShortName& other) : ShortName(other.view()) {}
    ShortName(ShortName&& other) noexcept;
    ShortName& operator=(const ShortName& other);
    ShortName& operator=(ShortName&& other) noexcept;
    ~ShortName();

    std::string_view view() const;
    bool empty() const { return view().empty(); }
    friend bool operator==(const ShortName& name, std::string_view text) { return name.view() == text; }

private:
    static_assert(std::endian::native == std::endian::little, "the in-place tag is the pointer's low byte");
    static constexpr int in_place_max = 7;
    bool in_place() const { return (bytes_[0] & 1) != 0; }
    void release();

    // In place: byte 0 is 1 + 2 x length, the name follows. On the heap:
    // the pointer (to a 4-byte length and the bytes), whose low bit is 0.
    // All zero: the empty name.
    alignas(8) unsigned char bytes_[8] = {};
};

std::ostream& operator<<(std::ostream& out, const ShortName& name);

}  // namespace ddinfer
