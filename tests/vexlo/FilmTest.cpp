// The film format, RAW pixel import and WebP.
#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

constexpr uint32_t kWebP = 0x18574250;

class FilmTest : public ::testing::Test {
 protected:
  Vexlo vexlo;
};

// Pages with every attribute the film keeps, as the Film would hand them over.
void AddLayer(glib::ImageDataExchange& request, const Picture& picture, int32_t group,
              const char* name, uint8_t base) {
  glib::IDEPage* page = BorrowingPage(picture);
  page->name = name;
  page->group = group;
  page->base = base;
  page->visible = group == 1 ? 0 : 1;
  page->offsetX = 3 + group;
  page->offsetY = -2;
  page->blendMode = glib::FourCC("mul ");
  page->delay = 123;
  page->resolutionX = 150;
  page->resolutionY = 75;
  page->background = 0xFF112233;
  page->canvasRight = 40;
  page->canvasBottom = 30;
  page->layerMetadata.assign("layer", 5);
  page->slideMetadata.assign("slide\0meta", 10);
  request.pages.Add(page);
}

TEST_F(FilmTest, LayersAndSlidesComeBackWithEveryAttribute) {
  Picture a = Pattern(20, 10, true, 1), b = Pattern(7, 9, true, 2), c = Pattern(5, 5, false, 3);
  for (uint32_t compression : {0u, 8u}) {
    SCOPED_TRACE(compression);
    glib::ImageDataExchange request;
    AddLayer(request, a, 0, "Background", 1);
    AddLayer(request, b, 0, "Top", 0);
    AddLayer(request, c, 1, "Second slide", 0);
    glib::FLMSave params;
    params.compression = compression;
    params.jpegQuality = 95;
    std::string path = vexlo.Dir().File("doc.flm");
    ASSERT_EQ(vexlo.Manager().SaveImageData(path.c_str(), &request, &params), glib::RCOK);
    glib::ImageDataExchange back;
    ASSERT_EQ(vexlo.Manager().LoadImageData(path.c_str(), &back, nullptr), glib::RCOK);
    ASSERT_EQ(back.pages.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) {
      const glib::IDEPage& in = *request.pages[i];
      const glib::IDEPage& out = *back.pages[i];
      EXPECT_EQ(out.name.str(), in.name.str());
      EXPECT_EQ(out.group, in.group);
      EXPECT_EQ(out.base, in.base);
      EXPECT_EQ(out.visible, in.visible);
      EXPECT_EQ(out.offsetX, in.offsetX);
      EXPECT_EQ(out.offsetY, in.offsetY);
      EXPECT_EQ(out.blendMode, in.blendMode);
      EXPECT_EQ(out.delay, 123u);
      EXPECT_EQ(out.resolutionX, 150.0f);
      EXPECT_EQ(out.background, 0xFF112233u);
      EXPECT_EQ(out.canvasRight, 40);
      EXPECT_EQ(out.layerMetadata.view(), "layer");
      EXPECT_EQ(out.slideMetadata.view(), std::string_view("slide\0meta", 10));
      Picture got = FromBitmap(out.bitmap);
      const Picture& want = i == 0 ? a : i == 1 ? b : c;
      EXPECT_LE(MaxDifference(got, want), compression ? 40 : 0);
      if (compression) {  // alpha is kept exactly beside the JPEG colours
        for (size_t p = 3; p < want.bgra.size(); p += 4) ASSERT_EQ(got.bgra[p], want.bgra[p]);
      }
    }
    auto info = vexlo.Info(path);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pageCount, 2u);  // slides
    EXPECT_EQ(info->versionMajor, 1);
    EXPECT_NE(info->Text(glib::kInfoCreated), nullptr);
    glib::ImageLoad second;
    second.firstPage = 1;
    Loaded one = vexlo.Load(path, &second);
    ASSERT_EQ(one.pages.size(), 1u);
    EXPECT_EQ(one.pages[0].name, "Second slide");
  }
}

TEST_F(FilmTest, OtherMajorVersionsAndDamageAreRefused) {
  glib::FLMSave params;
  std::string good = vexlo.SaveBytes({Pattern(4, 4)}, params);
  ASSERT_EQ(good.substr(0, 8), "ORBISKFL");
  std::string future = good;
  future[8] = 2;
  EXPECT_EQ(vexlo.LoadBytes(future).rc, glib::UNSF);
  std::string minor = good;
  minor[10] = 7;  // a newer minor version reads
  EXPECT_EQ(vexlo.LoadBytes(minor).rc, glib::RCOK);
  for (size_t cut : {9u, 24u, 40u, 120u})
    EXPECT_NE(vexlo.LoadBytes(good.substr(0, cut)).rc, glib::RCOK) << cut;
  std::string wrongType = good;
  size_t typeAt = good.size() - 4 * 4 - 8 - 4 * 4 * 4;  // the pixel type before four opaque pixels
  wrongType[typeAt] = 0x55;
  EXPECT_NE(vexlo.LoadBytes(wrongType).rc, glib::RCOK);
}

TEST_F(FilmTest, RawLayoutsFollowTheRecord) {
  // Two 3 x 2 pictures: 16-bit big-endian BGR interleaved after a header and with a
  // row gap, and 8-bit planar RGBA.
  std::string bytes(5, 'H');
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      for (int c : {30, 20, 10}) bytes += char((c + x) >> 0), bytes += char(y);
    }
    bytes += "gap";
  }
  glib::RAWLoad raw;
  raw.width = 3;
  raw.height = 2;
  raw.pixelType = 0x03010310;
  raw.headerLength = 5;
  raw.lineGap = 3;
  raw.littleEndian = 0;
  std::memcpy(raw.channelOrder, "BGRA", 4);
  Loaded loaded = vexlo.LoadBytes(bytes, &raw, glib::kFormatRAW);
  ASSERT_EQ(loaded.rc, glib::RCOK);
  const Picture& p = loaded.pages.at(0);
  EXPECT_EQ(p.pixelType, glib::kPixelRGB48);
  EXPECT_EQ(p.wide.at(0), (30 << 8) | 0);          // blue of (0, 0)
  EXPECT_EQ(p.wide.at(4 * 4 + 2), (11 << 8) | 1);  // red of (1, 1)

  std::string planar;
  for (int c = 0; c < 4; ++c) planar += std::string(6, char(c * 60 + 10));
  glib::RAWLoad layout;
  layout.width = 3;
  layout.height = 2;
  layout.pixelType = 0x83010408;
  layout.interleaved = 0;
  Loaded rgba = vexlo.LoadBytes(planar, &layout, glib::kFormatRAW);
  ASSERT_EQ(rgba.rc, glib::RCOK);
  EXPECT_EQ(rgba.pages.at(0).At(2, 1), 0xBE0A4682u);  // alpha 190, red 10, green 70, blue 130
  layout.fillAlpha = 1;
  EXPECT_EQ(vexlo.LoadBytes(planar, &layout, glib::kFormatRAW).pages.at(0).At(0, 0) >> 24, 255u);
  // Without a record there is no layout to follow.
  EXPECT_EQ(vexlo.LoadBytes(planar, nullptr, glib::kFormatRAW).rc, glib::BADA);
  layout.width = 100000;
  layout.height = 100000;
  EXPECT_EQ(vexlo.LoadBytes(planar, &layout, glib::kFormatRAW).rc, glib::OMEM);
  layout.width = 1000;
  layout.height = 1;
  EXPECT_EQ(vexlo.LoadBytes(planar, &layout, glib::kFormatRAW).rc, glib::BADI);
}

TEST_F(FilmTest, WebpStillsAndAnimationsMatchTheReferenceDecoder) {
  if (!HaveConvert()) GTEST_SKIP() << "no reference encoder";
  std::string lossless = vexlo.Dir().File("still.webp");
  ASSERT_TRUE(
      Convert("-size 40x30 plasma:fractal -seed 9 -alpha set -channel A -fx 'i/w' "
              "-define webp:lossless=true '" +
              lossless + "'"));
  Picture reference;
  ASSERT_TRUE(ReferenceDecode(lossless, reference));
  Loaded still = vexlo.Load(lossless);
  ASSERT_EQ(still.rc, glib::RCOK);
  EXPECT_EQ(still.format, kWebP);
  EXPECT_LE(MaxDifference(still.pages.at(0), reference), 1);
  std::string anim = vexlo.Dir().File("anim.webp");
  ASSERT_TRUE(Convert("-delay 20 -size 16x16 xc:red xc:green xc:blue -loop 0 '" + anim + "'"));
  Loaded frames = vexlo.Load(anim);
  ASSERT_EQ(frames.rc, glib::RCOK);
  ASSERT_EQ(frames.pages.size(), 3u);
  EXPECT_EQ(frames.pages[1].delay, 200u);
  EXPECT_NEAR(double(frames.pages[2].At(8, 8) & 0xFF), 255, 8);
  EXPECT_EQ(vexlo.Info(anim)->pageCount, 3u);
  std::string bytes = ReadFile(lossless);
  EXPECT_NE(vexlo.LoadBytes(bytes.substr(0, bytes.size() / 2)).rc, glib::RCOK);
}

}  // namespace
