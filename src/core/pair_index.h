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
        const Slot k = key(i, j);
        for (std::size_t s = hash(k) & mask_;; s = (s + 1) & mask_) {
            const Slot& slot = slots_[s];
            if (slot.value < 0) return -1;
            if (slot.lo == k.lo && slot.hi == k.hi) return slot.value;
        }
    }

    // Sets {i, j} to r (r >= 0), replacing an earlier record number.
    void set(int i, int j, int r);

    // Removes every pair; keeps the memory for reuse.
    void clear();
    void reserve(std::size_t pairs);
    std::size_t size() const { return size_; }

private:
    // Twelve bytes: the smaller index, the larger, the record number.
    struct Slot {
        std::uint32_t lo = 0;
        std::uint32_t hi = 0;
        int value = -1;  // -1 marks an empty slot
    };

    static Slot key(int i, int j) {
        return Slot{static_cast<std::uint32_t>(i < j ? i : j), static_cast<std::uint32_t>(i < j ? j : i), 0};
    }
    static std::size_t hash(const Slot& slot) {
        std::uint64_t k = (static_cast<std::uint64_t>(slot.lo) << 32) | slot.hi;
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
