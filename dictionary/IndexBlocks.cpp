#include "dictionary/IndexBlocks.h"

#include <sys/mman.h>
#include <xxhash.h>

#include <algorithm>
#include <cstring>

namespace talvero {

void IndexBlocks::Reset(const char* mapping, uint64_t start, uint64_t end, const uint64_t* sums)
{
    base = mapping;
    from = start;
    to = end;
    hashes = sums;
    const uint64_t count = BlockCount(end - start);
    checked = std::make_unique<std::atomic<uint8_t>[]>(count);
    for (uint64_t b = 0; b < count; ++b)
        checked[b].store(0, std::memory_order_relaxed);
}

uint64_t IndexBlocks::Hash(const char* data, size_t bytes)
{
    return XXH3_64bits(data, bytes);
}

void IndexBlocks::Check(uint64_t block) const
{
    const uint64_t at = from + block * kBlockBytes;
    const size_t bytes = static_cast<size_t>(std::min(kBlockBytes, to - at));
    // One read for the whole block from a cold disk, rather than one per page as they fault in.
    const uintptr_t page = 4096;
    const uintptr_t start = reinterpret_cast<uintptr_t>(base + at) & ~(page - 1);
    ::madvise(reinterpret_cast<void*>(start),
              reinterpret_cast<uintptr_t>(base + at) - start + bytes, MADV_WILLNEED);
    if (Hash(base + at, bytes) != hashes[block]) throw DamagedIndex();
    checked[block].store(1, std::memory_order_relaxed);
}

std::string_view IndexBlocks::Line(const char* p, const char* end) const
{
    const char* q = p;
    while (q < end) {
        // Up to the end of q's block at most.
        const uint64_t at = static_cast<uint64_t>(q - base);
        const uint64_t blockEnd =
            at < from ? from : from + ((at - from) / kBlockBytes + 1) * kBlockBytes;
        const char* stop = std::min(end, base + std::max(blockEnd, at + 1));
        Touch(q, static_cast<size_t>(stop - q));
        if (const void* nl = std::memchr(q, '\n', static_cast<size_t>(stop - q)))
            return std::string_view(p, static_cast<size_t>(static_cast<const char*>(nl) - p));
        q = stop;
    }
    throw DamagedIndex();
}

}  // namespace talvero
