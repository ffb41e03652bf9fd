// Sizing and memory advice for the catalogue's array.
#include "data/catalogue_storage.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Asks the kernel to back a large array with large pages. Where every fresh
// page costs a fault (virtual machines above all), filling a million-record
// catalogue otherwise spends most of its time on faults. Only a hint.
void advise_large_pages(const void* data, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr size_t kWorthIt = size_t{8} << 20;
    const long page = ::sysconf(_SC_PAGESIZE);
    if (data == nullptr || bytes < kWorthIt || page <= 0) return;
    const auto page_mask = static_cast<uintptr_t>(page) - 1;
    const auto first = reinterpret_cast<uintptr_t>(data);
    const uintptr_t begin = (first + page_mask) & ~page_mask;
    const uintptr_t end = (first + bytes) & ~page_mask;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace

size_t count_line_feeds(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    size_t count = 0;
#if defined(__SSE2__)
    // Per-byte tallies (a match compares as -1), folded into `count` before
    // any byte lane could wrap.
    const __m128i feed = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16) {
        __m128i tally = zero;
        for (int block = 0; block < 255 && end - p >= 16; ++block, p += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            tally = _mm_sub_epi8(tally, _mm_cmpeq_epi8(bytes, feed));
        }
        const __m128i sums = _mm_sad_epu8(tally, zero);
        count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
#endif
    for (; p < end; ++p) count += (*p == '\n');
    return count;
}

void reserve_catalogue(std::vector<QuakeRecord>& records, size_t entries) {
    records.reserve(entries);
    advise_large_pages(records.data(), records.capacity() * sizeof(QuakeRecord));
}

void finish_catalogue(std::vector<QuakeRecord>& records) {
    if (records.capacity() - records.size() > records.size() / 8) records.shrink_to_fit();
}
