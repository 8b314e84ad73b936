// The vector search of the XML scanner: SSE2 everywhere, AVX2 where the processor has it.
#include "workbook/openxml/xml_search.h"

#include <immintrin.h>

#include <atomic>

namespace tarvex::workbook::openxml {

namespace {

const char* FindAnyScalar(const char* p, const char* end, char a, char b, char c) {
  for (; p < end; ++p) {
    if (*p == a || *p == b || *p == c) return p;
  }
  return end;
}

const char* FindAnySse2(const char* p, const char* end, char a, char b, char c) {
  const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
  for (; end - p >= 16; p += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, va), _mm_cmpeq_epi8(chunk, vb)),
                     _mm_cmpeq_epi8(chunk, vc));
    if (const int mask = _mm_movemask_epi8(hit))
      return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
  return FindAnyScalar(p, end, a, b, c);
}

__attribute__((target("avx2"))) const char* FindAnyAvx2(const char* p, const char* end, char a,
                                                        char b, char c) {
  const __m256i va = _mm256_set1_epi8(a), vb = _mm256_set1_epi8(b), vc = _mm256_set1_epi8(c);
  for (; end - p >= 32; p += 32) {
    const __m256i chunk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i hit =
        _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(chunk, va), _mm256_cmpeq_epi8(chunk, vb)),
                        _mm256_cmpeq_epi8(chunk, vc));
    if (const unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hit))) {
      return p + __builtin_ctz(mask);
    }
  }
  return FindAnySse2(p, end, a, b, c);
}

using Search = const char* (*)(const char*, const char*, char, char, char);

bool HasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

const char* ChooseSearch(const char* p, const char* end, char a, char b, char c);

// Chosen at the first search rather than by a static initializer, which another one could precede.
std::atomic<Search> search{ChooseSearch};

const char* ChooseSearch(const char* p, const char* end, char a, char b, char c) {
  search.store(HasAvx2() ? FindAnyAvx2 : FindAnySse2, std::memory_order_relaxed);
  return search.load(std::memory_order_relaxed)(p, end, a, b, c);
}

}  // namespace

const char* FindAnyBeyond(const char* begin, const char* end, char a, char b, char c) {
  return search.load(std::memory_order_relaxed)(begin, end, a, b, c);
}

bool SearchWidthAvailable(SearchWidth width) { return width != SearchWidth::kAvx2 || HasAvx2(); }

const char* FindAnyWith(SearchWidth width, const char* begin, const char* end, char a, char b,
                        char c) {
  switch (width) {
    case SearchWidth::kScalar:
      return FindAnyScalar(begin, end, a, b, c);
    case SearchWidth::kSse2:
      return FindAnySse2(begin, end, a, b, c);
    case SearchWidth::kAvx2:
      return FindAnyAvx2(begin, end, a, b, c);
  }
  return end;
}

}  // namespace tarvex::workbook::openxml
