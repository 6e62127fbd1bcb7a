#include "viewer/SkinDescription.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace viewer;

namespace {

// A little-endian TIFF with one directory holding one entry: `tag` of `type` whose
// values are `value` (inline when they fit in four bytes).
std::vector<uint8_t> TiffWithTag(const std::string& value, uint16_t tag = kSkinTag,
                                 uint16_t type = 1) {
  std::vector<uint8_t> b = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0};
  auto u16 = [&](uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u16(tag);
  u16(type);
  u32(uint32_t(value.size()));
  if (value.size() <= 4) {
    std::string inlined = value;
    inlined.resize(4);
    b.insert(b.end(), inlined.begin(), inlined.end());
  } else {
    u32(26);
  }
  u32(0);  // no next directory
  if (value.size() > 4) b.insert(b.end(), value.begin(), value.end());
  return b;
}

}  // namespace

TEST(SkinDescription, ReadsColoursButtonsAndRectanglesAsTheFileGivesThem) {
  const SkinDescription skin = ParseSkinDescription(
      "RMainWindowRect=10,20,300,200\r\n"
      "CBackground=FF0000\n"
      "CTextColor=0x123456\n"
      "CTblBackgr0=112233\n"
      "BClose=1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\n"
      "RStatusText=-5, 6, 7, 8");
  EXPECT_EQ(skin.Named(kSkinMainWindow), (Rect{10, 20, 310, 220}));
  EXPECT_EQ(skin.DesignSize(), (Size{300, 200}));
  EXPECT_EQ(skin.colours[kSkinBackground], 0xFFFF0000u);  // blue, opaque
  EXPECT_EQ(skin.colours[kSkinTextColour], 0xFF123456u);
  EXPECT_EQ(skin.Button(kSkinClose, 0), (Rect{1, 2, 4, 6}));
  EXPECT_EQ(skin.Button(kSkinClose, 3), (Rect{13, 14, 28, 30}));
  EXPECT_EQ(skin.Named(kSkinStatusText), (Rect{-5, 6, 2, 14}));
  // The information list's form: red and blue swapped, no alpha.
  EXPECT_EQ(skin.tableColours[kSkinTbl0 - kSkinTblCatalog], 0x00332211u);
}

TEST(SkinDescription, SkipsWhatItCannotRead) {
  const SkinDescription skin = ParseSkinDescription(
      "XClose=1,2,3,4\n"                         // unknown type letter
      "RNoSuchRect=1,2,3,4\n"                    // unknown name
      "RTitleText=1,2,3\n"                       // too few values
      "RLoadPanel=1,2,3,99999999999999999999\n"  // out of range
      "BShowNext=1,2,3,4\n"                      // a button needs sixteen
      "CDark=zz\n"
      "RTopMiddle\n"
      "CLight=00FF00");
  EXPECT_TRUE(skin.Named(kSkinTitleText).IsZero());
  EXPECT_TRUE(skin.Named(kSkinLoadPanel).IsZero());
  EXPECT_TRUE(skin.Button(kSkinShowNext, 0).IsZero());
  EXPECT_EQ(skin.colours[kSkinDark], 0u);
  EXPECT_EQ(skin.colours[kSkinLight], 0xFF00FF00u);

  // A line longer than the limit goes on as the next line.
  const std::string longLine = std::string(kSkinLineLimit, ' ') + "RTitleText=1,1,1,1\n";
  EXPECT_EQ(ParseSkinDescription(longLine).Named(kSkinTitleText), (Rect{1, 1, 2, 2}));
  // The text ends at a NUL.
  EXPECT_TRUE(ParseSkinDescription(std::string("CDark=1\n\0RTitleText=1,1,1,1", 28))
                  .Named(kSkinTitleText)
                  .IsZero());
}

TEST(SkinDescription, FindsTheDescriptionOnlyInATrueSkinFile) {
  const std::vector<uint8_t> good = TiffWithTag("SKINCDark=1\n");
  const auto text = SkinDescriptionText(good);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, "CDark=1\n");

  EXPECT_FALSE(SkinDescriptionText(TiffWithTag("SKIN")));                   // too short
  EXPECT_FALSE(SkinDescriptionText(TiffWithTag("SKIX1234")));               // no mark
  EXPECT_FALSE(SkinDescriptionText(TiffWithTag("SKIN1234", kSkinTag, 7)));  // not BYTE
  EXPECT_FALSE(SkinDescriptionText(TiffWithTag("SKIN1234", 30584)));        // other tag
  // Cut short: the value no longer lies inside the file.
  std::vector<uint8_t> cut = good;
  cut.resize(cut.size() - 3);
  EXPECT_FALSE(SkinDescriptionText(cut));
  EXPECT_FALSE(SkinDescriptionText({}));
}

TEST(SkinClassic, DarkensTheButtonFaceInFixedSteps) {
  EXPECT_EQ(DarkenColour(0x00F0F0F0, 0), 0x00F0F0F0u);
  EXPECT_EQ(DarkenColour(0xFF102030, 5), 0xFF000C1Cu);  // held at 0, alpha kept
  const SkinDescription classic = ClassicSkin(0x00C8D0D4, 0x000000, 0x00FFFFFF);
  EXPECT_EQ(classic.colours[kSkinBackground], 0x00C8D0D4u);
  EXPECT_EQ(classic.colours[kSkinLight], DarkenColour(0x00C8D0D4, 6));
  EXPECT_EQ(classic.colours[kSkinMiddle], DarkenColour(0x00C8D0D4, 8));
  EXPECT_EQ(classic.colours[kSkinDark], DarkenColour(0x00C8D0D4, 12));
  EXPECT_EQ(classic.colours[kSkinTitleColour], 0x00FFFFFFu);
  EXPECT_TRUE(classic.Named(kSkinMainWindow).IsZero());
  for (uint32_t c : classic.tableColours) EXPECT_EQ(c >> 24, 0xFFu);
}

TEST(SkinLayout, PlacesButtonsByTheirRulesAtAnySize) {
  SkinDescription skin = ParseSkinDescription(
      "RMainWindowRect=0,0,400,300\n"
      "BToggleButton=5,5,10,10,0,0,0,0,0,0,0,0,0,0,0,0\n"
      "BClose=380,5,10,10,0,0,0,0,0,0,0,0,0,0,0,0\n"
      "BRestore=360,5,10,10,0,0,0,0,0,0,0,0,0,0,0,0\n"
      "BCopyPath=5,280,10,10,0,0,0,0,0,0,0,0,0,0,0,0\n"
      "BOpenImage=380,280,10,10,0,0,0,0,0,0,0,0,0,0,0,0\n"
      "BInfoButton=0,0,8,20,0,0,0,0,0,0,0,0,0,0,0,0\n");
  const auto placed = PlaceSkinButtons(skin, {500, 350});
  EXPECT_EQ(placed[kSkinToggle], (Rect{5, 5, 15, 15}));
  EXPECT_EQ(placed[kSkinClose], (Rect{480, 5, 490, 15}));
  EXPECT_EQ(placed[kSkinRestore], (Rect{460, 5, 470, 15}));  // where Maximize goes
  EXPECT_EQ(placed[kSkinCopyPath], (Rect{5, 330, 15, 340}));
  EXPECT_EQ(placed[kSkinOpenImage], (Rect{480, 330, 490, 340}));
  EXPECT_EQ(placed[kSkinInfo], (Rect{491, 165, 499, 185}));
  EXPECT_TRUE(placed[kSkinStepNext].IsZero());  // not in the skin: hidden
  // Smaller than the design size moves the other way.
  EXPECT_EQ(PlaceSkinButtons(skin, {300, 200})[kSkinOpenImage], (Rect{280, 180, 290, 190}));
}

TEST(SkinLayout, FindsFrameZonesAndKeepsTheSmallestDragSize) {
  const SkinDescription skin = ParseSkinDescription(
      "RMainWindowRect=0,0,400,300\nRClientRectOffsets=6,20,6,8\n"
      "RRightBottomCorner=380,280,20,20\n");
  const Size client{500, 400};
  EXPECT_EQ(HitSkinZone(skin, client, {0, 0}), SkinZone::TopLeft);
  EXPECT_EQ(HitSkinZone(skin, client, {10, 2}), SkinZone::TopLeft);  // within reach
  EXPECT_EQ(HitSkinZone(skin, client, {250, 19}), SkinZone::Top);
  EXPECT_EQ(HitSkinZone(skin, client, {250, 20}), SkinZone::None);
  EXPECT_EQ(HitSkinZone(skin, client, {5, 200}), SkinZone::Left);
  EXPECT_EQ(HitSkinZone(skin, client, {6, 200}), SkinZone::None);
  EXPECT_EQ(HitSkinZone(skin, client, {494, 200}), SkinZone::Right);
  EXPECT_EQ(HitSkinZone(skin, client, {250, 392}), SkinZone::Bottom);
  EXPECT_EQ(HitSkinZone(skin, client, {499, 0}), SkinZone::TopRight);
  EXPECT_EQ(HitSkinZone(skin, client, {0, 399}), SkinZone::BottomLeft);
  EXPECT_EQ(HitSkinZone(skin, client, {485, 385}), SkinZone::BottomRight);  // the grip
  EXPECT_EQ(HitSkinZone(skin, client, {500, 10}), SkinZone::None);

  EXPECT_EQ(ClampSkinDrag({100, 100, 200, 150}, SkinZone::BottomRight),
            (Rect{100, 100, 100 + kSkinMinDragWidth, 100 + kSkinMinDragHeight}));
  EXPECT_EQ(ClampSkinDrag({100, 100, 200, 150}, SkinZone::TopLeft),
            (Rect{200 - kSkinMinDragWidth, 150 - kSkinMinDragHeight, 200, 150}));
  const Rect big{0, 0, kSkinMinDragWidth, kSkinMinDragHeight};
  EXPECT_EQ(ClampSkinDrag(big, SkinZone::Left), big);
}

#ifdef ORBISK_SKIN_DIR
#include <fstream>
#include <iterator>

#include "runtime/TiffDirectory.h"

TEST(SkinFiles, TheShippedSkinsReadWithEveryPieceInsideTheirBitmap) {
  for (const char* name : {"Graphite.skin", "Meadow.skin"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(ORBISK_SKIN_DIR) + "/" + name, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    const auto text = SkinDescriptionText(file);
    ASSERT_TRUE(text.has_value());
    const SkinDescription skin = ParseSkinDescription(*text);
    EXPECT_EQ(skin.DesignSize(), (Size{640, 480}));
    EXPECT_EQ(skin.colours[kSkinTitleColour] >> 24, 0xFFu);

    glib::Libtiff::Reader reader;
    ASSERT_TRUE(reader.Open(file));
    const glib::Libtiff::Directory& image = reader.Directories().front();
    const auto width = reader.Unsigned(*reader.Find(image, 256));
    const auto height = reader.Unsigned(*reader.Find(image, 257));
    ASSERT_TRUE(width && height);
    const Rect bitmap{0, 0, int32_t(*width), int32_t(*height)};
    auto inside = [&](const Rect& r) { return Intersect(r, bitmap) == r; };
    for (int b = 0; b < kSkinButtonCount; ++b) {
      if (b == kSkinQuintelUrl || b == kSkinZeptarUrl) continue;  // links: no button drawn
      EXPECT_FALSE(skin.Button(b, 0).IsEmpty()) << kSkinButtonNames[b];
      for (int look = 1; look < 4; ++look)
        EXPECT_TRUE(inside(skin.Button(b, look))) << kSkinButtonNames[b] << look;
    }
    for (int id :
         {kSkinTopLeftImage, kSkinTopMiddle, kSkinTopBottomImage, kSkinLeftMiddle, kSkinRightMiddle,
          kSkinBottomLeftImage, kSkinBottomMiddle, kSkinBottomRightImage}) {
      EXPECT_FALSE(skin.Named(id).IsEmpty()) << kSkinRectNames[id];
      EXPECT_TRUE(inside(skin.Named(id))) << kSkinRectNames[id];
    }
  }
}
#endif
