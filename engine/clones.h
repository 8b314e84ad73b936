// Where the engine's array functions (Activate, ExpInPlace) are compiled three times: for the
// baseline x86-64, for AVX2 and for AVX-512, the loader picking the copy for the processor at
// hand; the training loops choose their copy themselves (kernels.cpp). All copies run the same
// operations lane by lane, so they give the same bits. TARVEX_ENGINE_SINGLE_COPY builds the one
// copy that the compiler flags choose (the engine tests build two libraries that way).
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(TARVEX_ENGINE_SINGLE_COPY)
#define TARVEX_ENGINE_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TARVEX_ENGINE_CLONES
#endif
