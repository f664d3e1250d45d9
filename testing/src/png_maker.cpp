#include <zel_testing/png_maker.h>

#include <png.h>

#include <QFile>

#include <csetjmp>

namespace zel::testing {

namespace {

void Append(png_structp png, png_bytep data, std::size_t size) {
  static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data),
                                                        int(size));
}

void Flush(png_structp) {}

int ChannelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

// Packs one row of samples into the stored form: bits of sub-byte depths from the high end of
// each byte, 16-bit samples big-endian.
std::vector<png_byte> PackRow(const PngSpec& s, const std::uint16_t* samples) {
  const int count = s.width * ChannelsOf(s.colourType);
  std::vector<png_byte> row;
  if (s.bitDepth == 16) {
    for (int i = 0; i < count; ++i) {
      row.push_back(png_byte(samples[i] >> 8));
      row.push_back(png_byte(samples[i]));
    }
  } else if (s.bitDepth == 8) {
    for (int i = 0; i < count; ++i) row.push_back(png_byte(samples[i]));
  } else {
    const int perByte = 8 / s.bitDepth;
    row.assign(std::size_t((count + perByte - 1) / perByte), 0);
    for (int i = 0; i < count; ++i)
      row[std::size_t(i / perByte)] |=
          png_byte(samples[i] << ((perByte - 1 - i % perByte) * s.bitDepth));
  }
  return row;
}

void WriteChunks(png_structp png, png_infop info, const PngSpec& s) {
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colourType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (s.gamma > 0.0) png_set_gAMA(png, info, s.gamma);
  if (s.sRgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (s.chrm) png_set_cHRM(png, info, 0.3127, 0.329, 0.64, 0.33, 0.3, 0.6, 0.15, 0.06);
  if (s.iccp) {
    // libpng checks only the profile's header fields it needs: size, and the signature.
    std::vector<png_byte> profile(132, 0);
    profile[3] = 132;
    profile[36] = 'a', profile[37] = 'c', profile[38] = 's', profile[39] = 'p';
    png_set_benign_errors(png, 1);
    png_set_iCCP(png, info, "test", 0, profile.data(), png_uint_32(profile.size()));
  }
  if (s.sbit) {
    png_color_8 bits{};
    const png_byte b = png_byte(s.colourType == PNG_COLOR_TYPE_PALETTE ? 7 : s.bitDepth - 1);
    bits.red = bits.green = bits.blue = bits.gray = bits.alpha = b > 0 ? b : 1;
    png_set_sBIT(png, info, &bits);
  }
  if (s.transparentKey >= 0) {
    png_color_16 key{};
    key.gray = png_uint_16(s.transparentKey);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  std::vector<png_color> palette;
  for (std::size_t i = 0; i + 2 < s.palette.size(); i += 3)
    palette.push_back(png_color{s.palette[i], s.palette[i + 1], s.palette[i + 2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  if (!s.paletteAlpha.empty())
    png_set_tRNS(png, info, const_cast<png_bytep>(s.paletteAlpha.data()),
                 int(s.paletteAlpha.size()), nullptr);
  std::vector<png_text> texts;
  for (const auto& t : s.texts) {
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>(t.first.constData());
    text.text = const_cast<char*>(t.second.constData());
    text.text_length = std::size_t(t.second.size());
    texts.push_back(text);
  }
  if (!texts.empty()) png_set_text(png, info, texts.data(), int(texts.size()));
}

}  // namespace

QByteArray EncodePng(const PngSpec& spec, const std::vector<std::uint16_t>& samples) {
  const std::size_t perRow = std::size_t(spec.width) * ChannelsOf(spec.colourType);
  if (samples.size() != perRow * std::size_t(spec.height)) return {};
  std::vector<std::vector<png_byte>> rows;
  for (int y = 0; y < spec.height; ++y) rows.push_back(PackRow(spec, samples.data() + y * perRow));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());

  QByteArray out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, Append, Flush);
  WriteChunks(png, info, spec);
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace zel::testing
