#pragma once
// Calls a generic lambda once with a value of the C++ type that matches a sample type, so that
// kernels are templates and the type switch happens once per call, never per pixel.

#include <ur/image_buf.h>

#include <cstdint>

namespace ur::detail {

// 1- and 2-byte unsigned samples only; returns false for any other type.
template <typename F>
bool VisitUnsigned8or16(ExImageDataType type, F&& f) {
  switch (type) {
    case eImageDataUInt8: f(std::uint8_t{}); return true;
    case eImageDataUInt16: f(std::uint16_t{}); return true;
    default: return false;
  }
}

// Every real sample type; returns false for complex and unknown types.
template <typename F>
bool VisitReal(ExImageDataType type, F&& f) {
  switch (type) {
    case eImageDataInt8: f(std::int8_t{}); return true;
    case eImageDataUInt8: f(std::uint8_t{}); return true;
    case eImageDataInt16: f(std::int16_t{}); return true;
    case eImageDataUInt16: f(std::uint16_t{}); return true;
    case eImageDataInt32: f(std::int32_t{}); return true;
    case eImageDataUInt32: f(std::uint32_t{}); return true;
    case eImageDataFloat: f(float{}); return true;
    case eImageDataDouble: f(double{}); return true;
    case eImageDataInt64: f(std::int64_t{}); return true;
    case eImageDataUInt64: f(std::uint64_t{}); return true;
    default: return false;
  }
}

}  // namespace ur::detail
