#include "runtime/ExifView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/TiffDirectory.h"
#include "support/Exiftool.h"
#include "support/TestSupport.h"
#include "support/TiffBuilder.h"

using glib::Libtiff::EXIFView;
using Ifd = EXIFView::Ifd;
namespace tiff = glib::Libtiff;
using testing_support::TiffBuilder;

namespace {

// The value of a tag in a directory of the view, or nothing when it is not listed.
std::optional<std::string> Value(const EXIFView& view, Ifd ifd, uint16_t tag) {
  for (uint32_t i = 0; i < view.GetSize(); ++i) {
    if (view.GetIfd(i) == ifd && view.GetTag(i) == tag) return std::string(view.GetValue(i));
  }
  return std::nullopt;
}

std::string Name(const EXIFView& view, Ifd ifd, uint16_t tag) {
  for (uint32_t i = 0; i < view.GetSize(); ++i) {
    if (view.GetIfd(i) == ifd && view.GetTag(i) == tag) return view.GetName(i);
  }
  return "";
}

EXIFView Build(const std::vector<uint8_t>& block, bool detailed = false) {
  EXIFView view(detailed);
  EXPECT_TRUE(view.BuildView(block.data(), uint32_t(block.size())));
  return view;
}

// A camera block: IFD0 -> EXIF -> interoperability, IFD0 -> GPS, and IFD1.
std::vector<uint8_t> Camera(bool big) {
  TiffBuilder b(big);
  const uint32_t interop = b.Directory({b.Ascii(1, "R98"), b.Bytes(2, "0100")});
  const uint32_t exif = b.Directory({
      b.Rational(0x829A, 1, 250),
      b.Rational(0x829D, 28, 10),
      b.Short(0x8822, 42),  // no such program: shown as the number
      b.Short(0x8827, 200),
      b.Bytes(0x9000, "0232"),
      b.Ascii(0x9003, "2024:05:01 12:34:56"),
      b.Bytes(0x9101, std::string("\1\2\3\0", 4)),
      b.Rationals(0x9201, {{7965784, 1000000}}, tiff::kSRational),
      b.Rational(0x9202, 2970854, 1000000),
      b.Rationals(0x9204, {{-4, 3}}, tiff::kSRational),
      b.Short(0x9207, 5),
      b.Short(0x9209, 0x59),
      b.Rational(0x920A, 42, 10),
      b.Bytes(0x927C, std::string(40, 'x')),
      b.Bytes(0x9286, std::string("ASCII\0\0\0Hello  ", 15)),
      b.Short(0xA001, 0xFFFF),
      b.Long(0xA005, interop),
      b.Bytes(0xA300, "\3"),
      b.Short(0xA405, 28),
  });
  const uint32_t gps = b.Directory({
      b.Bytes(0, std::string("\2\3\0\0", 4), tiff::kByte),
      b.Ascii(1, "N"),
      b.Rationals(2, {{48, 1}, {51, 1}, {2952, 100}}),
      b.Bytes(5, "\1", tiff::kByte),
      b.Rational(6, 355, 10),
      b.Rationals(7, {{12, 1}, {34, 1}, {565, 10}}),
      b.Ascii(0x1D, "2024:05:01"),
  });
  const uint32_t ifd0 =
      b.Directory({b.Ascii(0x010F, "Orbisk"), b.Short(0x0112, 6), b.Rational(0x011A, 72, 1),
                   b.Short(0x0128, 2), b.Long(0x8769, exif), b.Long(0x8825, gps)},
                  true);
  const uint32_t ifd1 = b.Directory(
      {b.Short(0x0103, 6), b.Rational(0x011A, 72, 1), b.Long(0x0201, 4000), b.Long(0x0202, 1234)});
  b.Link(ifd0, ifd1);
  return b.Block();
}

}  // namespace

TEST(ExifView, ShowsCameraValuesInBothByteOrders) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    const EXIFView view = Build(Camera(big));
    const std::map<std::pair<Ifd, uint16_t>, std::string> expected = {
        {{Ifd::kIfd0, 0x010F}, "Orbisk"},
        {{Ifd::kIfd0, 0x0112}, "Rotate 90 CW"},
        {{Ifd::kIfd0, 0x011A}, "72"},
        {{Ifd::kIfd0, 0x0128}, "inches"},
        {{Ifd::kExif, 0x829A}, "1/250"},
        {{Ifd::kExif, 0x829D}, "f/2.8"},
        {{Ifd::kExif, 0x8822}, "42"},
        {{Ifd::kExif, 0x8827}, "200"},
        {{Ifd::kExif, 0x9000}, "2.32"},
        {{Ifd::kExif, 0x9003}, "2024:05:01 12:34:56"},
        {{Ifd::kExif, 0x9101}, "Y, Cb, Cr, -"},
        {{Ifd::kExif, 0x9201}, "1/250"},
        {{Ifd::kExif, 0x9202}, "f/2.8"},
        {{Ifd::kExif, 0x9204}, "-1.3 EV"},
        {{Ifd::kExif, 0x9207}, "Multi-segment"},
        {{Ifd::kExif, 0x9209}, "Fired, Auto mode, Red-eye reduction"},
        {{Ifd::kExif, 0x920A}, "4.2 mm"},
        {{Ifd::kExif, 0x9286}, "Hello"},
        {{Ifd::kExif, 0xA001}, "Uncalibrated"},
        {{Ifd::kExif, 0xA300}, "Digital Camera"},
        {{Ifd::kExif, 0xA405}, "28 mm"},
        {{Ifd::kGps, 0}, "2.3.0.0"},
        {{Ifd::kGps, 1}, "North"},
        {{Ifd::kGps, 2}, "48\xC2\xB0 51' 29.52\" N"},
        {{Ifd::kGps, 5}, "Below sea level"},
        {{Ifd::kGps, 6}, "35.5 m"},
        {{Ifd::kGps, 7}, "12:34:56.5"},
        {{Ifd::kGps, 0x1D}, "2024:05:01"},
        {{Ifd::kInterop, 1}, "R98"},
        {{Ifd::kInterop, 2}, "1.00"},
        {{Ifd::kIfd1, 0x0103}, "JPEG (old-style)"},
        {{Ifd::kIfd1, 0x011A}, "72"},
    };
    // Exactly these, in directory order; pointers, offsets and the maker note hidden.
    ASSERT_EQ(view.GetSize(), expected.size());
    const Ifd order[] = {Ifd::kIfd0, Ifd::kExif, Ifd::kGps, Ifd::kInterop, Ifd::kIfd1};
    size_t position = 0;
    for (uint32_t i = 0; i < view.GetSize(); ++i) {
      while (position < std::size(order) && order[position] != view.GetIfd(i)) ++position;
      ASSERT_LT(position, std::size(order)) << "entry " << i << " out of directory order";
      auto it = expected.find({view.GetIfd(i), view.GetTag(i)});
      ASSERT_NE(it, expected.end()) << view.GetName(i);
      EXPECT_EQ(view.GetValue(i), it->second) << view.GetName(i);
    }
    EXPECT_EQ(Name(view, Ifd::kExif, 0x829D), "F-Number");
    EXPECT_EQ(Name(view, Ifd::kExif, 0x8827), "ISO Speed");
    EXPECT_EQ(Name(view, Ifd::kGps, 2), "GPS Latitude");
    EXPECT_EQ(Name(view, Ifd::kIfd0, 0x011A), "X Resolution");
    EXPECT_EQ(Name(view, Ifd::kIfd1, 0x011A), "Thumbnail X Resolution");
    EXPECT_STREQ(view.GetName(view.GetSize()), "");
    EXPECT_STREQ(view.GetValue(12345), "");

    // The JPEG APP1 prefix is skipped; the view keeps its texts after the block goes.
    std::vector<uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0};
    const std::vector<uint8_t> block = Camera(big);
    app1.insert(app1.end(), block.begin(), block.end());
    EXIFView prefixed;
    ASSERT_TRUE(prefixed.BuildView(app1.data(), uint32_t(app1.size())));
    app1.assign(app1.size(), 0);
    EXPECT_EQ(prefixed.GetSize(), view.GetSize());
    EXPECT_STREQ(prefixed.GetValue(0), "Orbisk");
  }
}

TEST(ExifView, DetailedViewListsWhatIsNormallyHidden) {
  TiffBuilder b(false);
  b.Directory({b.Short(0x1234, 7), b.Bytes(0x927C, std::string(40, 'x')), b.Long(0x0111, 8),
               b.Bytes(0xABCD, "\1\2\3")},
              true);
  EXIFView plain = Build(b.Block());
  EXPECT_TRUE(plain.IsEmpty());
  EXIFView detailed = Build(b.Block(), true);
  ASSERT_EQ(detailed.GetSize(), 4u);
  EXPECT_STREQ(detailed.GetName(0), "Tag 0x1234");
  EXPECT_STREQ(detailed.GetValue(0), "7");
  EXPECT_STREQ(detailed.GetName(1), "Maker Note");
  EXPECT_STREQ(detailed.GetValue(1), "40 bytes");
  EXPECT_STREQ(detailed.GetName(2), "Strip Offsets");
  EXPECT_STREQ(detailed.GetValue(2), "8");
  EXPECT_STREQ(detailed.GetValue(3), "3 bytes");

  // Sub-directory pointers and thumbnail offsets appear with their numbers.
  const EXIFView camera = Build(Camera(true), true);
  EXPECT_TRUE(Value(camera, Ifd::kIfd0, 0x8769));
  EXPECT_TRUE(Value(camera, Ifd::kExif, 0xA005));
  EXPECT_EQ(Value(camera, Ifd::kIfd1, 0x0202), "1234");
  EXPECT_EQ(Name(camera, Ifd::kIfd1, 0x0202), "Thumbnail JPEG Interchange Format Length");
  EXPECT_EQ(Value(camera, Ifd::kExif, 0x927C), "40 bytes");
}

TEST(ExifView, TextsBecomeUtf8) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big-endian" : "little-endian");
    TiffBuilder b(big);
    const std::string unicode = big ? std::string("UNICODE\0\0H\0i\xD8\x3D\xDE\x00", 16)
                                    : std::string("UNICODE\0H\0i\0\x3D\xD8\x00\xDE", 16);
    const uint32_t exif = b.Directory({b.Bytes(0x9286, unicode)});
    b.Directory(
        {b.Ascii(0x013B, "J\xF6rg"),                           // Latin-1
         b.Ascii(0x010F, "Gr\xC3\xBC\xC3\x9F   "),             // UTF-8, trailing blanks
         b.Ascii(0x8298, std::string("Ann\0Bob Editor", 14)),  // two strings
         b.Ascii(0x010E, "line\none"),
         b.Bytes(0x9C9B, std::string("T\0\xFC\0\0\0", 6), tiff::kByte), b.Long(0x8769, exif)},
        true);
    const EXIFView view = Build(b.Block());
    EXPECT_EQ(Value(view, Ifd::kIfd0, 0x013B), "J\xC3\xB6rg");
    EXPECT_EQ(Value(view, Ifd::kIfd0, 0x010F), "Gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(Value(view, Ifd::kIfd0, 0x8298), "Ann; Bob Editor");
    EXPECT_EQ(Value(view, Ifd::kIfd0, 0x010E), "line one");
    EXPECT_EQ(Value(view, Ifd::kIfd0, 0x9C9B), "T\xC3\xBC");
    EXPECT_EQ(Value(view, Ifd::kExif, 0x9286), "Hi\xF0\x9F\x98\x80");  // with a surrogate pair
  }

  // Comments in JIS or an unknown code show their size unless they are plain ASCII;
  // blank ones are not listed.
  auto comment = [](const std::string& bytes) {
    TiffBuilder b(false);
    const uint32_t exif = b.Directory({b.Bytes(0x9286, bytes)});
    b.Directory({b.Long(0x8769, exif)}, true);
    return Value(Build(b.Block()), Ifd::kExif, 0x9286);
  };
  EXPECT_EQ(comment(std::string("JIS\0\0\0\0\0\x1B\x24\x42\x30\x21", 13)), "5 bytes");
  EXPECT_EQ(comment(std::string("JIS\0\0\0\0\0plain", 13)), "plain");
  EXPECT_EQ(comment(std::string("\0\0\0\0\0\0\0\0hello\0\0", 15)), "hello");
  EXPECT_EQ(comment(std::string(24, '\0')), std::nullopt);
  EXPECT_EQ(comment(std::string("ASCII\0\0\0     ", 13)), std::nullopt);
  EXPECT_EQ(comment(std::string("ASC", 3)), std::nullopt) << "too short for a code";
}

TEST(ExifView, NumbersAndTheirForms) {
  TiffBuilder b(false);
  std::vector<uint32_t> many(70);
  for (uint32_t i = 0; i < many.size(); ++i) many[i] = i;
  const uint32_t exif = b.Directory({
      b.Rational(0x829A, 1, 2),  // half a second: not a fraction
      b.Rational(0x829D, 0, 0),  // no denominator
      b.Rationals(0x9204, {{0, 1}}, tiff::kSRational),
      b.Rationals(0x9203, {{7, 10}}, tiff::kSRational),
      b.Ints(0x9214, tiff::kShort, many),
      b.Short(0x9209, 0x1F),
      b.Short(0xA40C, 9),
      b.Rational(0x9206, 1, 0),
  });
  b.Directory({b.Long(0x8769, exif), b.Rationals(0x011A, {{1, 3}, {2, 1}})}, true);
  const EXIFView view = Build(b.Block());
  EXPECT_EQ(Value(view, Ifd::kExif, 0x829A), "0.5");
  EXPECT_EQ(Value(view, Ifd::kExif, 0x829D), "undefined");
  EXPECT_EQ(Value(view, Ifd::kExif, 0x9204), "0 EV");
  EXPECT_EQ(Value(view, Ifd::kExif, 0x9203), "0.7");
  EXPECT_EQ(Value(view, Ifd::kExif, 0x9209), "Fired, Return detected, Auto mode");
  EXPECT_EQ(Value(view, Ifd::kExif, 0xA40C), "9");
  EXPECT_EQ(Value(view, Ifd::kExif, 0x9206), "undefined");
  EXPECT_EQ(Value(view, Ifd::kIfd0, 0x011A), "0.333333, 2");
  const std::string area = Value(view, Ifd::kExif, 0x9214).value_or("");
  EXPECT_EQ(area.substr(0, 9), "0, 1, 2, ");
  EXPECT_EQ(area.substr(area.size() - 11), "62, 63, ...") << area;

  auto flash = [](uint32_t bits) {
    TiffBuilder f(true);
    const uint32_t sub = f.Directory({f.Short(0x9209, bits)});
    f.Directory({f.Long(0x8769, sub)}, true);
    return Value(Build(f.Block()), Ifd::kExif, 0x9209).value_or("");
  };
  EXPECT_EQ(flash(0), "Not fired");
  EXPECT_EQ(flash(0x10), "Not fired, Off mode");
  EXPECT_EQ(flash(0x05), "Fired, Return not detected");
  EXPECT_EQ(flash(0x09), "Fired, Forced mode");
  EXPECT_EQ(flash(0x20), "No flash function");
}

TEST(ExifView, HostileBlocksGiveAShortViewNotACrash) {
  EXIFView view(true);
  const uint8_t notTiff[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 43, 0, 8, 0, 0, 0};
  EXPECT_FALSE(view.BuildView(notTiff, sizeof notTiff));
  EXPECT_FALSE(view.BuildView(nullptr, 0));
  EXPECT_FALSE(view.BuildView(notTiff, 3));
  EXPECT_TRUE(view.IsEmpty());

  // Sub-directories pointing back at IFD0, at each other, or at themselves end there.
  TiffBuilder loop(false);
  const uint32_t start = loop.Size();
  const uint32_t exif = start + 2 + 3 * 12 + 4;  // right after IFD0
  loop.Directory({loop.Long(0x8769, exif), loop.Long(0x8825, exif), loop.Short(0x0112, 1)}, true);
  loop.Directory({loop.Long(0x8769, start), loop.Long(0xA005, exif), loop.Short(0x8827, 100)});
  EXIFView cycle = Build(loop.Block(), true);
  EXPECT_EQ(cycle.GetSize(), 6u) << "IFD0 and the EXIF directory, each once";
  EXPECT_EQ(Value(cycle, Ifd::kExif, 0x8827), "100");
  EXPECT_FALSE(Value(cycle, Ifd::kGps, 0x8827));
  EXPECT_FALSE(Value(cycle, Ifd::kIfd1, 0x8827));

  // Every truncation of a real block still builds, and never lists more than it holds.
  const std::vector<uint8_t> camera = Camera(false);
  for (size_t size = 0; size <= camera.size(); ++size) {
    EXIFView cut(true);
    std::vector<uint8_t> head(camera.begin(), camera.begin() + size);
    EXPECT_EQ(cut.BuildView(head.data(), uint32_t(head.size())), size >= 8);
    EXPECT_LE(cut.GetSize(), 45u);
  }

  // Garbage after a valid header.
  std::vector<uint8_t> noise = {'M', 'M', 0, 42, 0, 0, 0, 8};
  uint32_t seed = 12345;
  for (int i = 0; i < 4000; ++i) noise.push_back(uint8_t((seed = seed * 1103515245 + 12345) >> 16));
  for (int round = 0; round < 50; ++round) {
    noise[8 + round * 16] = 0;  // directory counts that fit now and then
    EXIFView garbage(true);
    EXPECT_TRUE(garbage.BuildView(noise.data(), uint32_t(noise.size())));
    for (uint32_t i = 0; i < garbage.GetSize(); ++i) EXPECT_NE(garbage.GetName(i)[0], '\0');
  }
}

TEST(ExifView, ListsAreBounded) {
  // Thousands of entries over two directories, all pointing at one long text.
  TiffBuilder b(true);
  const uint32_t text = b.Size();
  b.Block().insert(b.Block().end(), 100000, 'a');
  b.Block().push_back(0);
  // Written with offset 0, then pointed at the text.
  std::vector<TiffBuilder::Field> rows(3000, {0x010E, tiff::kAscii, 100001, {}});
  const uint32_t exif = b.Directory(rows);
  const uint32_t ifd0 = b.Size();
  rows.push_back(b.Long(0x8769, exif));
  b.Directory(rows, true);
  std::vector<uint8_t>& block = b.Block();
  for (uint32_t dir : {exif, ifd0}) {
    for (uint32_t i = 0; i < 3000; ++i) {
      const uint32_t at = dir + 2 + 12 * i + 8;
      for (int k = 0; k < 4; ++k) block[at + k] = uint8_t(text >> (24 - 8 * k));
    }
  }
  EXIFView view(true);
  ASSERT_TRUE(view.BuildView(block.data(), uint32_t(block.size())));
  EXPECT_EQ(view.GetSize(), EXIFView::kMaxItems);
  EXPECT_LT(std::strlen(view.GetValue(0)), 4000u);
  EXPECT_EQ(std::string(view.GetValue(0)).substr(0, 4), "aaaa");
}

// ---------------------------------------------------------------------------------
// exiftool as an independent oracle over the files in tests/data/info.

namespace {

uint32_t Be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

// The EXIF block of a JPEG (APP1 "Exif\0\0"), PNG (eXIf chunk), WebP (EXIF chunk) or
// TIFF file (the whole file), and where its TIFF header is in the file.
struct ExifBlock {
  std::string bytes;
  size_t headerAt = 0;
};

std::optional<ExifBlock> ExtractExif(const std::string& file) {
  if (file.compare(0, 2, "\xFF\xD8") == 0) {
    for (size_t at = 2; at + 4 <= file.size() && uint8_t(file[at]) == 0xFF;) {
      const size_t length = size_t(uint8_t(file[at + 2])) << 8 | uint8_t(file[at + 3]);
      if (uint8_t(file[at + 1]) == 0xE1 && file.compare(at + 4, 6, std::string("Exif\0\0", 6)) == 0)
        return ExifBlock{file.substr(at + 4, length - 2), at + 10};
      at += 2 + length;
    }
  } else if (file.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) {
    for (size_t at = 8; at + 8 <= file.size();) {
      const size_t length = Be32(file, at);
      if (file.compare(at + 4, 4, "eXIf") == 0)
        return ExifBlock{file.substr(at + 8, length), at + 8};
      at += 12 + length;
    }
  } else if (file.compare(0, 4, "RIFF") == 0 && file.compare(8, 4, "WEBP") == 0) {
    for (size_t at = 12; at + 8 <= file.size();) {
      const size_t length = uint8_t(file[at + 4]) | size_t(uint8_t(file[at + 5])) << 8 |
                            size_t(uint8_t(file[at + 6])) << 16 |
                            size_t(uint8_t(file[at + 7])) << 24;
      if (file.compare(at, 4, "EXIF") == 0) return ExifBlock{file.substr(at + 8, length), at + 8};
      at += 8 + length + (length & 1);
    }
  } else if (file.compare(0, 4, std::string("II*\0", 4)) == 0 ||
             file.compare(0, 4, std::string("MM\0*", 4)) == 0) {
    return ExifBlock{file, 0};
  }
  return std::nullopt;
}

// The numbers in one of our values: "1/250" is one number, signs count.
std::vector<double> Numbers(const std::string& s) {
  std::vector<double> out;
  for (size_t i = 0; i < s.size();) {
    const bool sign =
        (s[i] == '-' || s[i] == '+') && i + 1 < s.size() && std::isdigit(uint8_t(s[i + 1]));
    if (!sign && !std::isdigit(uint8_t(s[i]))) {
      ++i;
      continue;
    }
    char* end = nullptr;
    double v = std::strtod(s.c_str() + i, &end);
    i = size_t(end - s.c_str());
    if (i + 1 < s.size() && s[i] == '/' && std::isdigit(uint8_t(s[i + 1]))) {
      v /= std::strtod(s.c_str() + i + 1, &end);
      i = size_t(end - s.c_str());
    }
    out.push_back(v);
  }
  return out;
}

// exiftool's -n value as numbers; nothing when it is not a list of numbers.
std::optional<std::vector<double>> OracleNumbers(const std::string& s) {
  std::vector<double> out;
  const char* p = s.c_str();
  while (*p) {
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p) return std::nullopt;
    out.push_back(v);
    p = end;
    while (*p == ' ') ++p;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-3 * std::max(std::fabs(b), 1e-3); }

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
         });
}

struct Expected {
  Ifd ifd;
  uint16_t tag;
  std::string printed, numeric;
};

// Whether our value says what exiftool says. Beyond equal texts and equal numbers,
// a few tags have their own rule: versions ("2.32" for "0232"), GPS coordinates (our
// degrees, minutes and seconds against its decimal degrees) and Flash (our words
// against its bits).
bool Agrees(const std::string& ours, const Expected& e) {
  if (SameText(ours, e.printed) || SameText(ours, e.numeric)) return true;
  const bool version = (e.ifd == Ifd::kExif && (e.tag == 0x9000 || e.tag == 0xA000)) ||
                       (e.ifd == Ifd::kInterop && e.tag == 2);
  if (version) {
    std::string digits;
    for (char c : ours) {
      if (c != '.') digits += c;
    }
    return SameText(std::string(4 - std::min<size_t>(4, digits.size()), '0') + digits, e.printed);
  }
  std::optional<std::vector<double>> oracle = OracleNumbers(e.numeric);
  if (!oracle) return false;
  const std::vector<double> mine = Numbers(ours);
  if (e.ifd == Ifd::kGps && (e.tag == 2 || e.tag == 4 || e.tag == 20 || e.tag == 22)) {
    return mine.size() == 3 && oracle->size() == 1 &&
           Near(mine[0] + mine[1] / 60 + mine[2] / 3600, (*oracle)[0]);
  }
  if (e.ifd == Ifd::kExif && e.tag == 0x9209 && oracle->size() == 1) {
    const uint32_t bits = uint32_t((*oracle)[0]);
    return (ours.rfind("Fired", 0) == 0) == bool(bits & 1) &&
           (ours.find("Auto mode") != std::string::npos) == ((bits >> 3 & 3) == 3);
  }
  if (mine.size() != oracle->size()) return false;
  for (size_t i = 0; i < mine.size(); ++i) {
    if (!Near(mine[i], (*oracle)[i])) return false;
  }
  return true;
}

// The tags exiftool finds in the five directories the view lists.
std::vector<Expected> OracleTags(const std::string& path) {
  static const std::map<std::string, Ifd> kGroups = {{"IFD0", Ifd::kIfd0},
                                                     {"ExifIFD", Ifd::kExif},
                                                     {"GPS", Ifd::kGps},
                                                     {"InteropIFD", Ifd::kInterop},
                                                     {"IFD1", Ifd::kIfd1}};
  using testing_support::Exiftool;
  std::vector<testing_support::ExiftoolTag> printed = Exiftool("", path);
  std::vector<testing_support::ExiftoolTag> numeric = Exiftool("-n", path);
  std::vector<Expected> tags;
  if (printed.size() != numeric.size()) return tags;
  for (size_t i = 0; i < printed.size(); ++i) {
    auto group = kGroups.find(printed[i].group);
    if (group == kGroups.end()) continue;
    tags.push_back({group->second, uint16_t(printed[i].id), printed[i].value, numeric[i].value});
  }
  return tags;
}

}  // namespace

TEST(ExifView, AgreesWithExiftool) {
  if (!testing_support::HaveExiftool()) GTEST_SKIP() << "exiftool is not installed";
  const std::filesystem::path dir = testing_support::DataDir() / "info";
  for (const char* name :
       {"camera-le.jpg", "camera-be.jpg", "camera.tif", "camera.png", "camera.webp"}) {
    SCOPED_TRACE(name);
    const std::string path = (dir / name).string();
    std::optional<ExifBlock> block = ExtractExif(testing_support::ReadFile(path));
    ASSERT_TRUE(block) << "no EXIF block found";
    EXIFView view(true);
    ASSERT_TRUE(view.BuildView(reinterpret_cast<const uint8_t*>(block->bytes.data()),
                               uint32_t(block->bytes.size())));
    const std::vector<Expected> tags = OracleTags(path);
    size_t compared = 0;
    for (Expected e : tags) {
      // exiftool gives the thumbnail's offset in the file; ours is in the block.
      if (e.ifd == Ifd::kIfd1 && e.tag == 0x0201)
        e.numeric = std::to_string(std::stoul(e.numeric) - block->headerAt);
      std::optional<std::string> ours = Value(view, e.ifd, e.tag);
      if (!ours) {
        ADD_FAILURE() << "tag 0x" << std::hex << e.tag << " of directory " << int(e.ifd)
                      << " not listed; exiftool: " << e.printed;
        continue;
      }
      EXPECT_TRUE(Agrees(*ours, e))
          << "tag 0x" << std::hex << e.tag << " of directory " << int(e.ifd) << ": ours \"" << *ours
          << "\", exiftool \"" << e.printed << "\" (" << e.numeric << ")";
      ++compared;
    }
    std::printf("%s: %zu tags compared with exiftool\n", name, compared);
    EXPECT_GE(compared, 100u);
  }
}
