#include "platform/wide_search.h"

#include <immintrin.h>

#include <bit>
#include <cstdint>

namespace {

// In "From " the fifth byte is a blank, which base64 never holds and which seldom follows a
// capital F in text, so most blocks of a body pass at once.
__attribute__((target("avx2"))) const char* find_pair(const char* at, const char* stop, const char* end,
                                                      char first, char fifth) {
    const __m256i firsts = _mm256_set1_epi8(first), fifths = _mm256_set1_epi8(fifth);
    while (at < stop && end - at >= 68) {
        __m256i h0 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), firsts),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 4)), fifths));
        __m256i h1 = _mm256_and_si256(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32)), firsts),
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 36)), fifths));
        __m256i any = _mm256_or_si256(h0, h1);
        if (_mm256_testz_si256(any, any)) {
            at += 64;
            continue;
        }
        std::uint64_t all = static_cast<std::uint32_t>(_mm256_movemask_epi8(h0)) |
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(h1))) << 32;
        return at + std::countr_zero(all);
    }
    return at;
}

__attribute__((target("avx2"))) const char* after_last_line_end(const char* begin, const char* p) {
    const __m256i lfs = _mm256_set1_epi8('\n'), crs = _mm256_set1_epi8('\r');
    while (p - begin >= 32) {
        __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p - 32));
        auto ends = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, lfs), _mm256_cmpeq_epi8(bytes, crs))));
        if (ends != 0) return p - std::countl_zero(ends);
        p -= 32;
    }
    while (p > begin && p[-1] != '\n' && p[-1] != '\r') --p;
    return p;
}

constexpr WideSearch AVX2{find_pair, after_last_line_end};

}  // namespace

const WideSearch* wide_search() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return supported ? &AVX2 : nullptr;
}
