#include "core/short_name.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace ddinfer {
namespace {

char* heap_of(const unsigned char* bytes) {
    char* block;
    std::memcpy(&block, bytes, sizeof block);
    return block;
}

}  // namespace

ShortName::ShortName(std::string_view text) {
    if (text.empty()) return;
    if (text.size() <= in_place_max) {
        bytes_[0] = static_cast<unsigned char>(1 + 2 * text.size());
        std::memcpy(bytes_ + 1, text.data(), text.size());
        return;
    }
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) throw std::length_error("name too long");
    const auto length = static_cast<std::uint32_t>(text.size());
    char* block = static_cast<char*>(::operator new(sizeof length + text.size()));  // aligned: low bit 0
    std::memcpy(block, &length, sizeof length);
    std::memcpy(block + sizeof length, text.data(), text.size());
    std::memcpy(bytes_, &block, sizeof block);
}

ShortName::ShortName(ShortName&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memset(other.bytes_, 0, sizeof other.bytes_);
}

ShortName& ShortName::operator=(const ShortName& other) {
    if (this != &other) *this = ShortName(other);
    return *this;
}

ShortName& ShortName::operator=(ShortName&& other) noexcept {
    if (this != &other) {
        release();
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        std::memset(other.bytes_, 0, sizeof other.bytes_);
    }
    return *this;
}

ShortName::~ShortName() { release(); }

void ShortName::release() {
    if (!in_place()) ::operator delete(heap_of(bytes_));  // null for the empty name
    std::memset(bytes_, 0, sizeof bytes_);
}

std::string_view ShortName::view() const {
    if (in_place()) return {reinterpret_cast<const char*>(bytes_ + 1), static_cast<std::size_t>(bytes_[0] >> 1)};
    const char* block = heap_of(bytes_);
    if (block == nullptr) return {};
    std::uint32_t length;
    std::memcpy(&length, block, sizeof length);
    return {block + sizeof length, length};
}

std::ostream& operator<<(std::ostream& out, const ShortName& name) { return out << name.view(); }

}  // namespace ddinfer
