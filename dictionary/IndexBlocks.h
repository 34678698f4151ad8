#pragma once
// The checksummed blocks of a mapped saved index. Each block of the index carries its own
// checksum, and a block is checked the first time a search reads from it: a load then costs the
// same whatever the dictionary's size, a lookup reads only the blocks its search passes through,
// and a damaged block is found before any of its bytes are used.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace talvero {

// Thrown when a block of a mapped index does not hold what its checksum says; the dictionary
// catches it, answers from its text and writes the index anew.
struct DamagedIndex : std::runtime_error {
    DamagedIndex() : std::runtime_error("the dictionary's saved index is damaged") {}
};

class IndexBlocks {
public:
    static constexpr uint64_t kBlockBytes = 16384;

    IndexBlocks() = default;
    IndexBlocks(const IndexBlocks&) = delete;
    IndexBlocks& operator=(const IndexBlocks&) = delete;

    // The blocks of [from, to) of the mapping at `base`, one checksum each in `hashes`, which
    // the caller has checked; bytes outside that stretch are the caller's (the header).
    void Reset(const char* base, uint64_t from, uint64_t to, const uint64_t* hashes);
    static uint64_t BlockCount(uint64_t bytes) { return (bytes + kBlockBytes - 1) / kBlockBytes; }
    static uint64_t Hash(const char* data, size_t bytes);

    // Makes sure [p, p + n) lies in blocks that were found sound; throws DamagedIndex when one
    // is not.
    void Touch(const void* p, size_t n) const
    {
        const uint64_t at = static_cast<uint64_t>(static_cast<const char*>(p) - base);
        if (n == 0 || at + n <= from || at >= to) return;
        const uint64_t first = (std::max(at, from) - from) / kBlockBytes;
        const uint64_t last = (std::min(at + n, to) - 1 - from) / kBlockBytes;
        for (uint64_t b = first; b <= last; ++b) {
            if (!checked[b].load(std::memory_order_relaxed)) Check(b);
        }
    }
    // The bytes from `p` up to the next line feed, which must come before `end`.
    std::string_view Line(const char* p, const char* end) const;

private:
    void Check(uint64_t block) const;

    const char* base = nullptr;
    uint64_t from = 0, to = 0;
    const uint64_t* hashes = nullptr;
    // Whether each block was found sound; a block checked twice by two threads at once costs
    // the time only.
    std::unique_ptr<std::atomic<uint8_t>[]> checked;
};

}  // namespace talvero
