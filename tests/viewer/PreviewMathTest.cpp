// The filter browser's arithmetic beyond the effect tables: which part of the picture
// the preview shows, and the readings of its settings dialogs' edits and depth.
#include "viewer/PreviewMath.h"

#include <gtest/gtest.h>

#include "formats/PixelType.h"
#include "viewer/EffectParams.h"

using namespace viewer;

namespace {

Rect Source(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }

}  // namespace

TEST(PreviewMath, ThePartShownFillsTheAreaAroundTheCentreAtTheZoom) {
  const Size big{1000, 800}, area{200, 100};
  PreviewPart part = VisiblePart(big, area, 1.0, PictureCentre(big));
  EXPECT_EQ(part.source, Source(400, 350, 200, 100));
  EXPECT_EQ(part.shown, area);
  part = VisiblePart(big, area, 2.0, PictureCentre(big));
  EXPECT_EQ(part.source, Source(450, 375, 100, 50));
  EXPECT_EQ(part.shown, area);
  // 3 does not divide the area: the source covers it, rounded up.
  EXPECT_EQ(VisiblePart(big, area, 3.0, PictureCentre(big)).source.Width(), 67);
  // Smaller than the area: all of it, at its zoomed size.
  part = VisiblePart(big, area, 0.1, PictureCentre(big));
  EXPECT_EQ(part.source, Source(0, 0, 1000, 800));
  EXPECT_EQ(part.shown, (Size{100, 80}));
  part = VisiblePart({100, 50}, {240, 240}, 1.0, {});
  EXPECT_EQ(part.source, Source(0, 0, 100, 50));
  EXPECT_EQ(part.shown, (Size{100, 50}));
  // A one-pixel picture far out still shows one pixel.
  EXPECT_EQ(VisiblePart({1, 1}, area, 0.1, {}).shown, (Size{1, 1}));
}

TEST(PreviewMath, DraggingStopsAtTheEdgesAndComesBackAtOnce) {
  const Size big{1000, 800}, area{200, 100};
  PreviewCentre centre = DraggedCentre(PictureCentre(big), 2.0, 10, -4);
  EXPECT_DOUBLE_EQ(centre.x, 495.0);
  EXPECT_DOUBLE_EQ(centre.y, 402.0);
  // Far beyond the top-left corner: the part stops there...
  PreviewPart part = VisiblePart(big, area, 1.0, DraggedCentre(centre, 1.0, 5000, 5000));
  EXPECT_EQ(part.source, Source(0, 0, 200, 100));
  // ...and from its own centre the next drag moves it straight away.
  part = VisiblePart(big, area, 1.0, DraggedCentre(part.centre, 1.0, -30, 0));
  EXPECT_EQ(part.source, Source(30, 0, 200, 100));
  part = VisiblePart(big, area, 1.0, {1e9, 1e9});
  EXPECT_EQ(part.source, Source(800, 700, 200, 100));
}

TEST(PreviewMath, NothingToShowGivesAnEmptyPart) {
  EXPECT_TRUE(VisiblePart({}, {200, 100}, 1.0, {}).source.IsEmpty());
  EXPECT_TRUE(VisiblePart({10, 10}, {0, 100}, 1.0, {}).source.IsEmpty());
  EXPECT_TRUE(VisiblePart({10, 10}, {200, 100}, 0.0, {}).source.IsEmpty());
  EXPECT_TRUE(VisiblePart({10, 10}, {200, 100}, 1.0, {NAN, 0}).source.IsEmpty());
}

TEST(PreviewMath, SettingsReadTheirEditsAndTheDepthOfThePicture) {
  EXPECT_EQ(SliderValueFromText(kBlurRadius, " 20"), 20);
  EXPECT_EQ(SliderValueFromText(kBlurRadius, "0"), 1);
  EXPECT_EQ(SliderValueFromText(kSharpenThreshold, "999"), 255);
  EXPECT_EQ(SliderValueFromText(kSharpenAmount, "-"), std::nullopt);
  EXPECT_EQ(NumberFromText("+2.5"), 2.5);
  EXPECT_EQ(NumberFromText("inf"), std::nullopt);
  EXPECT_EQ(NumberFromText(""), std::nullopt);

  EXPECT_TRUE(SixteenBitsPerChannel(glib::kPixelRGB48));
  EXPECT_TRUE(SixteenBitsPerChannel(glib::kPixelRGBA64));
  EXPECT_TRUE(SixteenBitsPerChannel(glib::kPixelGray16));
  EXPECT_FALSE(SixteenBitsPerChannel(glib::kPixelRGB565));
  EXPECT_FALSE(SixteenBitsPerChannel(glib::kPixelRGBA32));
  EXPECT_FALSE(SixteenBitsPerChannel(glib::kPixelNone));
}
