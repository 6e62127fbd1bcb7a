// The file-information entries: the metadata blocks, texts and layouts each format
// hands to the information panel without decoding the picture.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "Harness.h"
#include "formats/Retcode.h"
#include "runtime/TiffDirectory.h"
#include "support/Exiftool.h"

using namespace vexlo_test;

namespace {

class InfoTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

std::string U32BE(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// A PNG chunk with its length and CRC.
std::string Chunk(const char* type, std::string_view body) {
  std::string typed = std::string(type, 4) + std::string(body);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()));
  return U32BE(uint32_t(body.size())) + typed + U32BE(uint32_t(crc));
}

std::string Deflate(std::string_view text) {
  uLongf size = compressBound(uLong(text.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
           uLong(text.size()));
  out.resize(size);
  return out;
}

// A small PNG from the plug-in's own writer with chunks put just before IEND (after
// the image data, where many writers put their metadata).
std::string PngWith(Vexlo& vexlo, const std::string& chunks) {
  glib::PNGSave params;
  std::string png = vexlo.SaveBytes({Pattern(6, 4)}, params);
  EXPECT_GT(png.size(), 12u);
  return png.insert(png.size() - 12, chunks);
}

// ImageMagick's hex dump of a profile, 36 bytes to a line.
std::string HexDump(const char* name, std::string_view bytes) {
  std::string text = std::string("\n") + name + "\n" + std::to_string(bytes.size());
  static const char* const kDigits = "0123456789abcdef";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 36 == 0) text += '\n';
    text += kDigits[uint8_t(bytes[i]) >> 4];
    text += kDigits[uint8_t(bytes[i]) & 15];
  }
  return text + "\n";
}

// A big-endian EXIF block whose first directory holds Make.
std::string ExifBlock(std::string_view make) {
  std::string text = std::string(make) + '\0';
  std::string block = std::string("MM\0*", 4) + U32BE(8);
  block += std::string("\0\1", 2);          // one entry
  block += std::string("\x01\x0F\0\2", 4);  // Make, ASCII
  block += U32BE(uint32_t(text.size())) + U32BE(8 + 2 + 12 + 4);
  block += U32BE(0);  // no next directory
  return block + text;
}

std::string ExifMake(const glib::FileInfoRecord& info) {
  if (!info.exif || info.exifSize < 8) return "(no EXIF)";
  std::span<const uint8_t> block(info.exif, info.exifSize);
  if (std::memcmp(block.data(), "II*\0", 4) != 0 && std::memcmp(block.data(), "MM\0*", 4) != 0)
    return "(not TIFF-structured)";
  glib::Libtiff::Reader reader;
  if (!reader.Open(block) || reader.Directories().empty()) return "(no directory)";
  const glib::Libtiff::Entry* make = reader.Find(reader.Directories().front(), 0x010F);
  if (!make) return "(no Make)";
  std::span<const uint8_t> text = reader.Bytes(*make);
  return std::string(reinterpret_cast<const char*>(text.data()),
                     strnlen(reinterpret_cast<const char*>(text.data()), text.size()));
}

bool HasPair(const glib::FileInfoRecord& info, std::string_view prefix) {
  for (uint32_t i = 0; i < info.pairCount; ++i) {
    if (std::string_view(info.pairs[i * 2]).starts_with(prefix)) return true;
  }
  return false;
}

}  // namespace

// exiftool's eXIf chunk, wherever it sits, becomes the record's EXIF block.
TEST_F(InfoTest, PngExifFromExiftoolAndAfterTheImageData) {
  if (!HaveConvert() || !testing_support::HaveExiftool()) GTEST_SKIP() << "no tools";
  std::string path = vexlo.Dir().File("plug-exif.png");
  ASSERT_TRUE(Convert("-size 32x24 gradient: '" + path + "'"));
  ASSERT_EQ(std::system(("/usr/bin/exiftool -q -overwrite_original -Make=Test -Model=Cam "
                         "-DateTimeOriginal='2024:05:01 12:00:00' '" +
                         path + "'")
                            .c_str()),
            0);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(ExifMake(*info), "Test");

  auto late = vexlo.Info(vexlo.Write("late.png", PngWith(vexlo, Chunk("eXIf", ExifBlock("Late")))));
  ASSERT_TRUE(late);
  EXPECT_EQ(ExifMake(*late), "Late");
  EXPECT_EQ(late->width, 6);
}

// ImageMagick's "Raw profile type" texts are decoded into EXIF (without the JPEG-style
// header) and IPTC, and stay out of the text pairs; damaged dumps give nothing.
TEST_F(InfoTest, PngRawProfilesBecomeBlocksNotTexts) {
  std::string iim = std::string("\x1C\x02\x78\x00\x05", 5) + "Hello";
  std::string resource = "8BIM" + std::string("\x04\x04\0\0", 4) + U32BE(uint32_t(iim.size())) +
                         iim + std::string(iim.size() & 1, '\0');
  std::string exifText = HexDump("exif", "Exif" + std::string(2, '\0') + ExifBlock("Dump"));
  std::string chunks =
      Chunk("zTXt", "Raw profile type exif" + std::string(2, '\0') + Deflate(exifText)) +
      Chunk("tEXt", "Raw profile type iptc" + std::string(1, '\0') + HexDump("iptc", resource)) +
      Chunk("tEXt", "Title" + std::string(1, '\0') + "Kept");
  auto info = vexlo.Info(vexlo.Write("dump.png", PngWith(vexlo, chunks)));
  ASSERT_TRUE(info);
  EXPECT_EQ(ExifMake(*info), "Dump");
  ASSERT_EQ(info->iptcSize, iim.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info->iptc), info->iptcSize), iim);
  EXPECT_TRUE(HasPair(*info, "Title"));
  EXPECT_FALSE(HasPair(*info, "Raw profile type"));

  std::string hex = HexDump("exif", ExifBlock("Dump"));
  std::string shortDump = hex;
  shortDump.replace(shortDump.find('\n', 1) + 1, 2, "99");  // claims more than it holds
  std::string badDigit = hex;
  badDigit[badDigit.size() - 3] = 'x';
  std::string huge = "\nexif\n99999999999\n00";
  for (const std::string& dump : {shortDump, badDigit, huge}) {
    SCOPED_TRACE(dump.substr(0, 20));
    auto damaged = vexlo.Info(vexlo.Write(
        "bad.png",
        PngWith(vexlo, Chunk("tEXt", "Raw profile type exif" + std::string(1, '\0') + dump))));
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->exifSize, 0u);
    EXPECT_FALSE(HasPair(*damaged, "Raw profile type"));
  }
}

TEST_F(InfoTest, WebpExifAndFrames) {
  if (!HaveConvert() || !testing_support::HaveExiftool()) GTEST_SKIP() << "no tools";
  std::string path = vexlo.Dir().File("plug-exif.webp");
  ASSERT_TRUE(Convert("-size 32x24 gradient: '" + path + "'"));
  ASSERT_EQ(
      std::system(("/usr/bin/exiftool -q -overwrite_original -Make=Test '" + path + "'").c_str()),
      0);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 32);
  EXPECT_EQ(info->height, 24);
  EXPECT_EQ(info->pageCount, 1u);
  EXPECT_EQ(ExifMake(*info), "Test");
}

// The RAW layout is known once a load has read the file with it; other files (or the
// same name with other bytes, here past the first 64 KiB) stay without one.
TEST_F(InfoTest, RawLayoutOfTheLoadThatReadIt) {
  std::string pixels(16 + 120 * (200 * 2 * 3 + 2), '\x40');
  std::string path = vexlo.Write("pixels.raw", pixels);
  auto before = vexlo.Info(path, nullptr, glib::kFormatRAW);
  ASSERT_TRUE(before);
  EXPECT_EQ(before->raw.channels, 0u);
  EXPECT_EQ(before->width, 0);

  glib::RAWLoad raw;
  raw.width = 200;
  raw.height = 120;
  raw.pixelType = 0x0310;  // three channels of 16 bits
  raw.headerLength = 16;
  raw.lineGap = 2;
  std::memcpy(raw.channelOrder, "BGR", 3);
  raw.interleaved = 1;
  raw.littleEndian = 0;
  ASSERT_EQ(vexlo.Load(path, &raw, glib::kFormatRAW).rc, glib::RCOK);
  auto info = vexlo.Info(path, nullptr, glib::kFormatRAW);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 200);
  EXPECT_EQ(info->height, 120);
  EXPECT_EQ(info->bitsPerPixel, 48);
  EXPECT_EQ(info->raw.headerSize, 16u);
  EXPECT_EQ(info->raw.lineGap, 2u);
  EXPECT_EQ(info->raw.channels, 3u);
  EXPECT_EQ(info->raw.bitsPerSample, 16u);
  EXPECT_EQ(std::string(info->raw.channelOrder, 3), "BGR");
  EXPECT_EQ(info->raw.channelOrder[3], '\0');
  EXPECT_EQ(info->raw.interleaved, 1);
  EXPECT_EQ(info->raw.littleEndian, 0);

  pixels[pixels.size() - 1] = '\x41';
  auto changed = vexlo.Info(vexlo.Write("pixels.raw", pixels), nullptr, glib::kFormatRAW);
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->raw.channels, 0u);
}

// A TGA 2.0 extension area's comment lines win over the image ID; a footer pointing
// outside the file leaves the ID.
TEST_F(InfoTest, TgaCommentsFromTheExtensionArea) {
  std::string id = "An ID";
  std::string tga = std::string("\x05\0\x03", 3) + std::string(9, '\0') +
                    std::string("\x02\0\x01\0\x08\0", 6) + id + std::string(2, '\x80');
  std::string area(495, '\0');
  area[0] = char(495 & 0xFF);
  area[1] = char(495 >> 8);
  std::memcpy(&area[43], "First line", 10);
  std::memcpy(&area[43 + 81 * 2], "Third line  ", 12);
  auto footer = [](uint32_t at) {
    std::string f = {char(at), char(at >> 8), char(at >> 16), char(at >> 24)};
    return f + std::string(4, '\0') + std::string("TRUEVISION-XFILE.\0", 18);
  };
  uint32_t at = uint32_t(tga.size());
  auto info = vexlo.Info(vexlo.Write("ext.tga", tga + area + footer(at)));
  ASSERT_TRUE(info);
  ASSERT_NE(info->Text(glib::kInfoComment), nullptr);
  EXPECT_STREQ(info->Text(glib::kInfoComment), "First line\nThird line");
  auto outside = vexlo.Info(vexlo.Write("out.tga", tga + area + footer(at + 4000)));
  ASSERT_TRUE(outside);
  EXPECT_STREQ(outside->Text(glib::kInfoComment), "An ID");
}

// An icon whose image is a PNG reports the PNG's own size and depth (the directory's
// 0 means 256).
TEST_F(InfoTest, IconWithPngImage) {
  glib::PNGSave params;
  std::string png = vexlo.SaveBytes({Pattern(48, 40)}, params);
  std::string ico = std::string("\0\0\1\0\1\0", 6) + std::string("\0\0\0\0\1\0\x20\0", 8);
  uint32_t size = uint32_t(png.size()), offset = 22;
  for (uint32_t v : {size, offset})
    ico += std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  auto info = vexlo.Info(vexlo.Write("png.ico", ico + png));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 48);
  EXPECT_EQ(info->height, 40);
  EXPECT_EQ(info->bitsPerPixel, 24);
  EXPECT_EQ(info->pageCount, 1u);
}

// A GIF without a global colour table takes its depth from the first frame's table.
TEST_F(InfoTest, GifDepthFromTheLocalTable) {
  std::string gif = "GIF89a" + std::string("\x02\0\x02\0\x00\0\0", 7) +  // no global table
                    std::string("\x2C\0\0\0\0\x02\0\x02\0\x82", 10) +    // local, 8 colours
                    std::string(8 * 3, '\x10') + std::string("\x03\x02\x04\x01\0;", 7);
  auto info = vexlo.Info(vexlo.Write("local.gif", gif));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->bitsPerPixel, 3);
  EXPECT_EQ(info->pageCount, 1u);
}
