// Vector search for the characters at which the XML scanner stops ('<', '&', a quote): 16 bytes
// at a time with SSE2, which every x86-64 processor has, or 32 with AVX2 where the processor has
// it, chosen once at start. Every variant finds the same first position.
#pragma once

#include <emmintrin.h>

#include <cstddef>

namespace tarvex::workbook::openxml {

// The search past the first 16 bytes, with the widest vectors the processor has.
const char* FindAnyBeyond(const char* begin, const char* end, char a, char b, char c);

// The first of [begin, end) that equals a, b or c, or end. Most values and texts of a sheet are
// shorter than 16 bytes: their search is one SSE2 step in line.
inline const char* FindAny(const char* begin, const char* end, char a, char b, char c) {
  if (end - begin >= 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
    const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(a)),
                                                  _mm_cmpeq_epi8(chunk, _mm_set1_epi8(b))),
                                     _mm_cmpeq_epi8(chunk, _mm_set1_epi8(c)));
    if (const int mask = _mm_movemask_epi8(hit)) {
      return begin + __builtin_ctz(static_cast<unsigned>(mask));
    }
    begin += 16;
  }
  return FindAnyBeyond(begin, end, a, b, c);
}
// The first of [begin, end) that equals a or b, or end.
inline const char* FindEither(const char* begin, const char* end, char a, char b) {
  return FindAny(begin, end, a, b, b);
}

// The variants on their own, for the tests that hold them to the same results.
enum class SearchWidth { kScalar, kSse2, kAvx2 };
bool SearchWidthAvailable(SearchWidth width);
const char* FindAnyWith(SearchWidth width, const char* begin, const char* end, char a, char b,
                        char c);

}  // namespace tarvex::workbook::openxml
