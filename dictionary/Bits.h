#pragma once
// The few processor operations the search tree's hot loops use, in one place: what the standard
// offers comes from <bit>, the rest from the compiler's builtins where it has them.
#include <bit>
#include <cstdint>

namespace talvero {

// A 64-bit value read from big-endian bytes (so that integers compare like the bytes).
inline uint64_t FromBigEndian(uint64_t v)
{
    if constexpr (std::endian::native == std::endian::big) return v;
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(v);
#else
    uint64_t r = 0;
    for (int i = 0; i < 8; ++i, v >>= 8)
        r = (r << 8) | (v & 0xFF);
    return r;
#endif
}

// Zero bits below the lowest set bit and above the highest; `v` is not 0.
inline int LowZeroBits(uint64_t v)
{
    return std::countr_zero(v);
}
inline int HighZeroBits(uint64_t v)
{
    return std::countl_zero(v);
}

// Asks for the memory at `p` to be brought into the cache; a hint only.
inline void Prefetch(const void* p)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

}  // namespace talvero
