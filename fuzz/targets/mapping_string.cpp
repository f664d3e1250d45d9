// One level-mapping string; its first two bytes choose the level count (1..65536).
#include "fuzz_support.h"

#include <zel/metadata.h>

#include <QString>

#include <memory>
#include <vector>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int levels = 1 + (data[0] | data[1] << 8);
  const auto count = static_cast<std::size_t>(levels);
  std::vector<unsigned short> mapping(count);
  const std::unique_ptr<bool[]> occupied(new bool[count]());
  const QString text =
      QString::fromLatin1(reinterpret_cast<const char*>(data + 2), int(size - 2));
  return urs::zel::ReadMappingString(text, mapping.data(),
                                     occupied.get(), levels)
             ? 1
             : 0;
}
