#pragma once
// What the fuzz targets share: the framework's plug-ins loaded once, and inputs handed to
// readers that only take files.

#include <QString>

#include <cstddef>
#include <cstdint>

namespace zel::fuzz {

// Creates the application object and loads the format plug-ins lying beside the executable.
// Called once per process before the first input.
void InitRuntime(int* argc, char*** argv);

// Writes the input into this process's scratch file with the suffix (".png", ".mat", ...) and
// returns its path; the same path is reused for every input of the run.
QString WriteScratchFile(const std::uint8_t* data, std::size_t size, const char* suffix);

}  // namespace zel::fuzz

// One input through one reader: 1 when the reader took it, 0 when it refused it. Each target
// defines it.
int ZelFuzzOne(const std::uint8_t* data, std::size_t size);
