// The libFuzzer entry points of a target.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zel::fuzz::InitRuntime(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ZelFuzzOne(data, size);
  return 0;
}
