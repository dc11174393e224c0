#pragma once

// The hottest loops of the run planner are built twice on x86-64, once for AVX2 where the
// processor has it: four doubles at a time, each the same operations as two at a time (no fused
// multiply-add), so that the runs are the same on every machine.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define WIDEST __attribute__((target_clones("avx2", "default")))
#else
#define WIDEST
#endif
