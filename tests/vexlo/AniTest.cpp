#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

void U32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(char(v >> (8 * i)));
}

std::string Chunk(const char* id, const std::string& body) {
  std::string out(id, 4);
  U32(out, uint32_t(body.size()));
  out += body;
  if (body.size() & 1) out.push_back('\0');
  return out;
}

// The frames the header announces: icon or cursor files, or raw bitmaps of a size.
struct Kind {
  bool icons = true;
  uint32_t width = 0, height = 0;
};

// An animated cursor of the given frames, with optional rate and sequence chunks.
std::string Ani(const std::vector<std::string>& frames, uint32_t jiffies,
                const std::vector<uint32_t>& rates = {}, const std::vector<uint32_t>& sequence = {},
                Kind kind = {}) {
  std::string header;
  uint32_t steps = uint32_t(sequence.empty() ? frames.size() : sequence.size());
  uint32_t flags = (kind.icons ? 1u : 0u) | (sequence.empty() ? 0u : 2u);
  for (uint32_t v :
       {36u, uint32_t(frames.size()), steps, kind.width, kind.height, 0u, 0u, jiffies, flags})
    U32(header, v);
  std::string body = "ACON" + Chunk("anih", header);
  auto words = [](const std::vector<uint32_t>& list) {
    std::string out;
    for (uint32_t v : list) U32(out, v);
    return out;
  };
  if (!rates.empty()) body += Chunk("rate", words(rates));
  if (!sequence.empty()) body += Chunk("seq ", words(sequence));
  std::string list = "fram";
  for (const std::string& frame : frames) list += Chunk("icon", frame);
  body += Chunk("LIST", list);
  std::string out = "RIFF";
  U32(out, uint32_t(body.size()));
  return out + body;
}

class AniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    glib::CURSave cursor;
    cursor.pixelType = 0x83010408;
    glib::ICOSave icon;
    icon.pixelType = 0x83010408;
    // Frames of different sizes, so that each page tells which frame it is.
    for (int i = 0; i < 3; ++i) {
      pictures.push_back(Pattern(16 + 8 * i, 16 + 8 * i, true, uint32_t(i + 1)));
      frames.push_back(i == 1 ? vexlo.SaveBytes({pictures[i]}, icon)
                              : vexlo.SaveBytes({pictures[i]}, cursor));
      ASSERT_FALSE(frames.back().empty());
    }
  }
  Vexlo vexlo;
  std::vector<Picture> pictures;
  std::vector<std::string> frames;
};

TEST_F(AniTest, FramesInOrderWithTheHeadersRate) {
  std::string path = vexlo.Write("plain.ani", Ani(frames, 6));
  Loaded l = vexlo.Load(path);
  ASSERT_EQ(l.rc, glib::RCOK);
  EXPECT_EQ(l.format, glib::kFormatANI);
  ASSERT_EQ(l.pages.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(MaxDifference(l.pages[i], pictures[i]), 0) << i;
    EXPECT_EQ(l.pages[i].delay, 100u);  // 6 jiffies of 1/60 s
  }
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->pageCount, 3u);
  EXPECT_EQ(info->width, 16);
  EXPECT_EQ(info->bitsPerPixel, 32);
}

TEST_F(AniTest, SequenceAndRatesPickFramesAndTimes) {
  std::string path = vexlo.Write("seq.ani", Ani(frames, 6, {3, 12, 18, 30}, {2, 0, 2, 1}));
  Loaded l = vexlo.Load(path);
  ASSERT_EQ(l.rc, glib::RCOK);
  ASSERT_EQ(l.pages.size(), 4u);
  const size_t order[] = {2, 0, 2, 1};
  const uint32_t delays[] = {50, 200, 300, 500};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(MaxDifference(l.pages[i], pictures[order[i]]), 0) << i;
    EXPECT_EQ(l.pages[i].delay, delays[i]) << i;
  }
  EXPECT_EQ(vexlo.Info(path)->pageCount, 4u);
  EXPECT_EQ(vexlo.Info(path)->width, 32);  // the first step shows frame 2
  // A range of steps.
  glib::ImageLoad range;
  range.firstPage = 1;
  range.pageCount = 2;
  Loaded some = vexlo.Load(path, &range);
  ASSERT_EQ(some.rc, glib::RCOK);
  ASSERT_EQ(some.pages.size(), 2u);
  EXPECT_EQ(some.pages[0].width, 16);
  EXPECT_EQ(some.pages[1].width, 32);
  EXPECT_EQ(some.pages[1].delay, 300u);
}

TEST_F(AniTest, DamagedFilesAnswerWithACode) {
  std::string good = Ani(frames, 6, {}, {0, 7, 1});  // step 2 names a missing frame
  Loaded l = vexlo.LoadBytes(good, nullptr, glib::kFormatANI);
  ASSERT_EQ(l.rc, glib::RCOK);
  EXPECT_EQ(l.pages.size(), 2u);
  // Cut anywhere: a code or the frames before the cut, never a crash.
  for (size_t cut = 0; cut < good.size(); cut += 7) {
    Loaded part = vexlo.LoadBytes(good.substr(0, cut), nullptr, glib::kFormatANI);
    if (part.rc == glib::RCOK) {
      EXPECT_LE(part.pages.size(), 2u);
    }
  }
  // A chunk that claims more than the file holds ends the reading there.
  std::string beyond = good;
  size_t list = beyond.find("LIST");
  beyond[list + 7] = char(0x40);
  EXPECT_EQ(vexlo.LoadBytes(beyond, nullptr, glib::kFormatANI).rc, glib::BADI);
  // Without a header or without frames.
  std::string noHeader = good;
  noHeader.replace(noHeader.find("anih"), 4, "xxxx");
  EXPECT_EQ(vexlo.LoadBytes(noHeader, nullptr, glib::kFormatANI).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(Ani({}, 6), nullptr, glib::kFormatANI).rc, glib::BADI);
  EXPECT_EQ(vexlo.LoadBytes(Ani({"not an icon"}, 6), nullptr, glib::kFormatANI).rc, glib::BADI);
}

// Frames that are raw bitmaps (the header's AF_ICON flag clear): bare bitmaps without
// the file header, with or without an icon-style AND mask, and whole BMP files.
TEST_F(AniTest, RawBitmapFramesArePages) {
  std::vector<Picture> opaque;
  std::string dib32, dib8, bmp, masked;
  for (uint32_t i = 0; i < 3; ++i) {
    opaque.push_back(Pattern(int32_t(12 + 4 * i), 10, false, i + 4));
    for (size_t k = 3; k < opaque[i].bgra.size(); k += 4) opaque[i].bgra[k] = 255;
  }
  glib::BMPSave true24, palette;
  true24.pixelType = glib::kPixelRGB24;
  palette.pixelType = 0x03010408;  // 8-bit palette, dithering off below
  palette.dither = 0;
  bmp = vexlo.SaveBytes({opaque[0]}, true24);
  dib32 = bmp.substr(14);  // without the file header
  std::string bmp8 = vexlo.SaveBytes({opaque[1]}, palette);
  ASSERT_GT(bmp8.size(), 14u);
  dib8 = bmp8.substr(14);
  // The image of an icon file: colour rows of twice the height's header, then the mask.
  const std::string& icon = frames[1];
  uint32_t size = 0, offset = 0;
  for (int k = 0; k < 4; ++k) {
    size |= uint32_t(uint8_t(icon[14 + k])) << (8 * k);
    offset |= uint32_t(uint8_t(icon[18 + k])) << (8 * k);
  }
  masked = icon.substr(offset, size);
  ASSERT_EQ(masked[0], '\x28') << "the icon writer wrote no bitmap image";

  Kind raw{false, 0, 0};
  std::string path = vexlo.Write("raw.ani", Ani({dib32, bmp, dib8}, 6, {3, 12}, {}, raw));
  Loaded l = vexlo.Load(path);
  ASSERT_EQ(l.rc, glib::RCOK);
  ASSERT_EQ(l.pages.size(), 3u);
  EXPECT_EQ(MaxDifference(l.pages[0], opaque[0]), 0);
  EXPECT_EQ(MaxDifference(l.pages[1], opaque[0]), 0);
  EXPECT_LE(MaxDifference(l.pages[2], opaque[1]), 0x30);  // reduced to a palette
  EXPECT_EQ(l.pages[2].width, 16);
  EXPECT_EQ(l.pages[0].delay, 50u);
  EXPECT_EQ(l.pages[1].delay, 200u);
  EXPECT_EQ(l.pages[2].delay, 100u);
  auto info = vexlo.Info(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 12);
  EXPECT_EQ(info->height, 10);
  EXPECT_EQ(info->pageCount, 3u);

  // A bitmap with a mask: by the header's frame height, or by its rows filling the chunk
  // only at half the height it gives.
  for (uint32_t height : {24u, 0u}) {
    SCOPED_TRACE(height);
    Kind sized{false, 24, height};
    Loaded m = vexlo.LoadBytes(Ani({masked, masked}, 6, {}, {}, sized), nullptr, glib::kFormatANI);
    ASSERT_EQ(m.rc, glib::RCOK);
    ASSERT_EQ(m.pages.size(), 2u);
    EXPECT_EQ(MaxDifference(m.pages[1], pictures[1]), 0);
  }
  auto maskedInfo =
      vexlo.Info(vexlo.Write("masked.ani", Ani({masked}, 6, {}, {}, {false, 24, 24})));
  ASSERT_TRUE(maskedInfo);
  EXPECT_EQ(maskedInfo->height, 24);

  // With AF_ICON set, a raw bitmap is no frame; rows the chunk does not hold are none
  // either, and a cut file gives a code or the frames before the cut.
  EXPECT_EQ(vexlo.LoadBytes(Ani({dib32}, 6), nullptr, glib::kFormatANI).rc, glib::BADI);
  std::string shortRows = dib32.substr(0, dib32.size() / 2);
  EXPECT_EQ(vexlo.LoadBytes(Ani({shortRows}, 6, {}, {}, raw), nullptr, glib::kFormatANI).rc,
            glib::BADI);
  std::string whole = Ani({dib32, masked, dib8}, 6, {}, {}, {false, 24, 24});
  for (size_t cut = 0; cut < whole.size(); cut += 5) {
    Loaded part = vexlo.LoadBytes(whole.substr(0, cut), nullptr, glib::kFormatANI);
    if (part.rc == glib::RCOK) {
      EXPECT_LE(part.pages.size(), 3u);
    }
  }
}

}  // namespace
