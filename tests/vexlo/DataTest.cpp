// Small files made by another program, with that program's own decoding kept beside
// them: they check real files on every platform, Wine included.
#include <gtest/gtest.h>

#include "Harness.h"
#include "formats/Retcode.h"

using namespace vexlo_test;

namespace {

// Largest channel difference to a 24 x 16 RGBA dump; colours of fully transparent
// pixels do not count.
int DifferenceToDump(const Picture& ours, const std::string& dump) {
  if (ours.width != 24 || ours.height != 16 || dump.size() != 24 * 16 * 4) return 255;
  int worst = 0;
  for (size_t i = 0; i < dump.size(); i += 4) {
    uint8_t alpha = uint8_t(dump[i + 3]);
    worst = std::max(worst, std::abs(int(ours.bgra[i + 3]) - alpha));
    if (alpha == 0) continue;
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::abs(int(ours.bgra[i + 2 - c]) - int(uint8_t(dump[i + c]))));
  }
  return worst;
}

TEST(DataFiles, DecodeToTheirReferencePixels) {
  Vexlo vexlo;
  struct Case {
    const char* name;
    int tolerance;
  };
  const Case cases[] = {
      {"cmyk-progressive.jpg", 3},
      {"palette-trns-interlaced.png", 0},
      {"fax-g4.tif", 0},
      {"deep-16.tif", 1},
      {"rle8.bmp", 0},
      {"rle.tga", 0},
      {"planes16.pcx", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded ours = vexlo.Load(DataFile(c.name));
    ASSERT_EQ(ours.rc, glib::RCOK);
    EXPECT_LE(DifferenceToDump(ours.pages.at(0), ReadFile(DataFile(std::string(c.name) + ".rgba"))),
              c.tolerance);
  }
  Loaded frames = vexlo.Load(DataFile("animation.gif"));
  ASSERT_EQ(frames.rc, glib::RCOK);
  ASSERT_EQ(frames.pages.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    std::string dump = ReadFile(DataFile("animation-" + std::to_string(i) + ".rgba"));
    EXPECT_EQ(DifferenceToDump(frames.pages[i], dump), 0) << "frame " << i;
  }
}

}  // namespace
