// A property the fuzzed code must keep. A broken one aborts, which libFuzzer
// reports as a finding with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                     \
  do {                                                                                            \
    if (!(condition)) {                                                                           \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);       \
      std::abort();                                                                               \
    }                                                                                             \
  } while (false)
