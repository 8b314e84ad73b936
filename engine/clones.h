// Where the engine's hot loops are compiled twice: for the baseline x86-64 and for AVX2, the
// loader picking the copy for the processor at hand. Both run the same operations lane by lane,
// so they give the same bits.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TARVEX_ENGINE_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TARVEX_ENGINE_CLONES
#endif
