// What the fuzz targets share: a check that stops the run with a message, so libFuzzer keeps
// the input and the replay program names it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
  do {                                                                                             \
    if (!(condition)) {                                                                            \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);           \
      std::abort();                                                                                \
    }                                                                                              \
  } while (false)

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size);
