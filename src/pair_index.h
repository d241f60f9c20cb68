// A symmetric map from unordered pairs of node indices to record numbers.
// It stands in for a dense nnode x nnode matrix: get(i, j) == get(j, i), and
// a pair that was never set reads as -1. Memory grows with the number of
// pairs set, not with the square of the node count.
#pragma once

#include <cstdint>
#include <vector>

namespace ddinfer {

class PairIndex {
public:
    // Number of the record set for {i, j}, or -1.
    int get(int i, int j) const {
        if (slots_.empty()) return -1;
        const std::uint64_t k = key(i, j);
        for (std::size_t s = hash(k) & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.value < 0) return -1;
            if (slot.key == k) return slot.value;
        }
    }

    // Sets {i, j} to r (r >= 0), replacing an earlier record number.
    void set(int i, int j, int r);

    // Removes every pair; keeps the memory for reuse.
    void clear();
    void reserve(std::size_t pairs);
    std::size_t size() const { return size_; }

private:
    struct Slot {
        std::uint64_t key = 0;
        int value = -1;  // -1 marks an empty slot
    };

    static std::uint64_t key(int i, int j) {
        const auto lo = static_cast<std::uint32_t>(i < j ? i : j);
        const auto hi = static_cast<std::uint32_t>(i < j ? j : i);
        return (static_cast<std::uint64_t>(lo) << 32) | hi;
    }
    static std::size_t hash(std::uint64_t k) {
        k ^= k >> 33;
        k *= 0xff51afd7ed558ccdULL;
        k ^= k >> 33;
        return static_cast<std::size_t>(k);
    }
    void grow(std::size_t capacity);

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};

}  // namespace ddinfer
