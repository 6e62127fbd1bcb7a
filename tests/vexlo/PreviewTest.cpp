// The thumbnail-view preview: the file's thumbnail through the plug-in, fitted into
// the box with the picture's proportions and content.
#include <gtest/gtest.h>

#include <string>

#include "Harness.h"
#include "formats/Retcode.h"
#include "image/Film.h"
#include "image/Preview.h"

using namespace vexlo_test;

namespace {

// Four flat quadrants: red, green, blue and white from the top left, clockwise.
Picture Quadrants(int32_t width, int32_t height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgra.resize(size_t(width) * height * 4);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      bool right = x >= width / 2, bottom = y >= height / 2;
      uint32_t c = !bottom ? (right ? 0x00FF00 : 0xFF0000) : (right ? 0xFFFFFF : 0x0000FF);
      uint8_t* px = &p.bgra[(size_t(y) * width + x) * 4];
      px[0] = uint8_t(c), px[1] = uint8_t(c >> 8), px[2] = uint8_t(c >> 16), px[3] = 255;
    }
  }
  return p;
}

std::u16string Wide(const std::string& path) { return std::u16string(path.begin(), path.end()); }

class PreviewTest : public ::testing::Test {
 protected:
  // The preview's size and its pixels, or the code.
  glib::ERetcode Preview(const std::string& path, int32_t width, int32_t height) {
    film_ = std::make_unique<glib::Film>(vexlo.Manager());
    glib::ERetcode rc = glib::LoadPreviewW(*film_, Wide(path).c_str(), width, height);
    if (rc == glib::RCOK) shown = FromBitmap(*film_->PrepareSlideBitmap(0, true));
    return rc;
  }
  // Near the colour at a fraction of the preview's size.
  void ExpectColourAt(double fx, double fy, uint32_t rgb) {
    uint32_t got = shown.At(int32_t(fx * shown.width), int32_t(fy * shown.height)) & 0xFFFFFF;
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(int(got >> shift & 255), int(rgb >> shift & 255), 24)
          << std::hex << got << " at " << fx << ", " << fy;
    }
  }

  Vexlo vexlo;
  Picture shown;
  std::unique_ptr<glib::Film> film_;
};

TEST(PreviewSizeTest, FitsLargePicturesAndKeepsSmallOnes) {
  EXPECT_EQ(glib::PreviewSize({200, 200}, {6000, 4000}), (geometry::Size{200, 133}));
  EXPECT_EQ(glib::PreviewSize({200, 200}, {4000, 6000}), (geometry::Size{133, 200}));
  EXPECT_EQ(glib::PreviewSize({200, 100}, {300, 100}), (geometry::Size{200, 67}));
  EXPECT_EQ(glib::PreviewSize({200, 200}, {50, 30}), (geometry::Size{50, 30}));
  EXPECT_EQ(glib::PreviewSize({200, 200}, {200, 200}), (geometry::Size{200, 200}));
}

// A camera photo with a stored thumbnail a little smaller than the box, one without
// (a reduced decode) and a small picture: each in its proportions, with its content.
TEST_F(PreviewTest, PicturesComeFittedWithTheirContent) {
  glib::JPGSave withThumbnail;
  withThumbnail.createThumbnail = 1;
  withThumbnail.quality = 95;
  std::string stored = vexlo.Dir().File("stored.jpg");
  ASSERT_EQ(vexlo.Save(stored, {Quadrants(1200, 750)}, withThumbnail), glib::RCOK);
  ASSERT_EQ(Preview(stored, 200, 200), glib::RCOK);
  EXPECT_EQ(shown.width, 200);  // the 160 x 100 thumbnail, enlarged
  EXPECT_EQ(shown.height, 125);
  ExpectColourAt(0.25, 0.25, 0xFF0000);
  ExpectColourAt(0.75, 0.25, 0x00FF00);
  ExpectColourAt(0.25, 0.75, 0x0000FF);
  ExpectColourAt(0.75, 0.75, 0xFFFFFF);

  glib::JPGSave plain;
  plain.quality = 95;
  std::string tall = vexlo.Dir().File("tall.jpg");
  ASSERT_EQ(vexlo.Save(tall, {Quadrants(600, 1000)}, plain), glib::RCOK);
  ASSERT_EQ(Preview(tall, 120, 120), glib::RCOK);
  EXPECT_EQ(shown.width, 72);
  EXPECT_EQ(shown.height, 120);
  ExpectColourAt(0.75, 0.25, 0x00FF00);
  ExpectColourAt(0.25, 0.75, 0x0000FF);

  glib::PNGSave png;
  std::string small = vexlo.Dir().File("small.png");
  ASSERT_EQ(vexlo.Save(small, {Quadrants(50, 30)}, png), glib::RCOK);
  ASSERT_EQ(Preview(small, 200, 200), glib::RCOK);
  EXPECT_EQ(shown.width, 50);
  EXPECT_EQ(shown.height, 30);
}

TEST_F(PreviewTest, FilesThatAreNoPicturesGiveACode) {
  std::string text = vexlo.Write("notes.txt", "just some words, no picture at all\n");
  EXPECT_NE(Preview(text, 200, 200), glib::RCOK);
  std::string cut = vexlo.Write("cut.jpg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10));
  EXPECT_NE(Preview(cut, 200, 200), glib::RCOK);
  EXPECT_NE(Preview(vexlo.Dir().File("missing.png"), 200, 200), glib::RCOK);
  std::string fine = vexlo.Dir().File("fine.png");
  glib::PNGSave png;
  ASSERT_EQ(vexlo.Save(fine, {Quadrants(20, 20)}, png), glib::RCOK);
  EXPECT_EQ(Preview(fine, 0, 200), glib::BADA);
}

}  // namespace
