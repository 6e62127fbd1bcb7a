// The Windows paths of the document, checked by reading pixels back: drawing into a
// device context (StretchDIBits, halftone, GDI+ for vector layers), the notice
// metafile among the resources, DIB sections, vector re-recording and the clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "FilmTestSupport.h"
#include "image/Composite.h"
#include "image/Film.h"
#include "image/NoticePicture.h"
#include "image/win32/DcDrawTarget.h"
#include "image/win32/MetafilePicture.h"
#include "support/TestSupport.h"
#include "ui/Handles.h"

using namespace glib;
using namespace film_test;

namespace {

constexpr uint16_t kScriptResource = 3001;

// A 32-bit top-down DIB section selected into a memory DC, read back pixel by pixel.
class Canvas {
 public:
  Canvas(int32_t width, int32_t height, uint32_t fill = 0) : width_(width) {
    section_ = ui::TopDownSection32(width, height, &bits_);
    dc_.reset(CreateCompatibleDC(nullptr));
    old_ = SelectObject(dc_.get(), section_.get());
    std::fill_n(static_cast<uint32_t*>(bits_), size_t(width) * size_t(height), fill);
  }
  ~Canvas() { SelectObject(dc_.get(), old_); }
  HDC dc() const { return dc_.get(); }
  uint32_t Pixel(int32_t x, int32_t y) const {
    GdiFlush();
    return static_cast<const uint32_t*>(bits_)[size_t(y) * size_t(width_) + size_t(x)] &
           0x00FFFFFFu;
  }

 private:
  int32_t width_;
  void* bits_ = nullptr;
  ui::UniqueBitmap section_;
  ui::UniqueMemoryDC dc_;
  HGDIOBJ old_ = nullptr;
};

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int c = 0; c < 24; c += 8) {
    if (std::abs(int((a >> c) & 0xFF) - int((b >> c) & 0xFF)) > tolerance) return false;
  }
  return true;
}

class Win32DrawTest : public ::testing::Test {
 protected:
  void SetUp() override { UseTestPlugins(); }

  // The notice, as a load that the plug-in refused for LZW gives it.
  void LoadNotice() {
    const std::string script = "PGS1\npage\nload LZWD\n";
    ASSERT_EQ(film.LoadMemory(script.data(), uint32_t(script.size()), kFormatNone, nullptr), RCOK);
    ASSERT_EQ(film.GetSlideCount(), 1u);
  }

  Film film;
};

TEST_F(Win32DrawTest, FilmsStartGdiplus) { EXPECT_TRUE(Film::GraphicsStarted()); }

TEST_F(Win32DrawTest, TheNoticeIsAVectorPictureDrawnThroughGdiplus) {
  LoadNotice();
  EXPECT_EQ(film.GetLayerPixelType(0, 0), uint32_t(kPixelVector));
  EXPECT_EQ(film.GetSlideWidth(0), kNoticeWidth);
  EXPECT_EQ(film.GetSlideHeight(0), kNoticeHeight);
  Canvas canvas(kNoticeWidth, kNoticeHeight);
  DcDrawTarget target(canvas.dc());
  ASSERT_TRUE(film.DrawEx(target, {0, 0, kNoticeWidth, kNoticeHeight},
                          {0, 0, kNoticeWidth, kNoticeHeight}, kStretchHalftone));
  EXPECT_TRUE(Near(canvas.Pixel(400, 20), 0xF4F4F4, 8));  // the paper
  EXPECT_TRUE(Near(canvas.Pixel(80, 33), 0xC81E1E, 40));  // the ring of the sign
  int ink = 0;
  for (int32_t y = 50; y < 110; ++y)
    for (int32_t x = 160; x < 700; ++x) ink += Near(canvas.Pixel(x, y), 0x202020, 40);
  EXPECT_GT(ink, 2000);  // the words
}

TEST_F(Win32DrawTest, VectorLayersAreRerecordedAndFlattened) {
  LoadNotice();
  ASSERT_EQ(film.Rotate(90, true, 0, 1), RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), kNoticeHeight);
  EXPECT_EQ(film.GetSlideHeight(0), kNoticeWidth);
  ASSERT_TRUE(film.Mirror(true, false, 0, 1));
  ASSERT_EQ(film.Stretch(80, 400, kScaleBilinear, false, 0, 1, 0), RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), 80);
  EXPECT_EQ(film.GetLayerPixelType(0, 0), uint32_t(kPixelVector));

  // The composite draws the picture into pixels; the turned sign is now at the top
  // right, the mirrored paper fills the rest.
  Slide& slide = *film.GetSlide(0);
  slide.GetLayer(0)->offsetX = 1;  // no longer drawn directly
  ASSERT_TRUE(UpdateComposite(slide));
  const CoreBitmap& composite = slide.composite->bitmap;
  EXPECT_EQ(composite.width, 81);
  EXPECT_TRUE(Near(PixelAt(composite, 40, 200) & 0xFFFFFF, 0xF4F4F4, 8));

  std::unique_ptr<Film> cut(film.ExtractSlides(0, 1, {0, 0, 30, 30}));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->GetLayerPixelType(0, 0), uint32_t(kPixelRGBA32));  // rendered for the cut
}

TEST_F(Win32DrawTest, SavingRastersTheNoticeForFormatsWithoutVectors) {
  LoadNotice();
  testing_support::TempDir dir;
  CraftedSave alpha(kPGA);
  const std::string path = dir.File("notice.pga");
  ASSERT_EQ(film.Save(path.c_str(), &alpha), RCOK);
  const std::string text = ReadFile(path);
  EXPECT_NE(text.find("w=800 h=160 type=83010408"), std::string::npos);
  // The composite holds the drawn picture: the paper colour, opaque.
  EXPECT_NE(text.find("f4f4f4ff"), std::string::npos);
}

TEST_F(Win32DrawTest, RowsGoThroughStretchDIBits) {
  AddSlide(film, {MakeLayer(nullptr, 4, 2, [](int32_t x, int32_t y) {
             return 0xFF000000u | uint32_t(x * 60) | uint32_t(y * 200) << 8;
           })});
  Canvas canvas(10, 10, 0x000000);
  DcDrawTarget target(canvas.dc());
  ASSERT_TRUE(film.Draw(target, {2, 3, 4, 5}, 1, 0));
  EXPECT_EQ(canvas.Pixel(2, 3), 60u);
  EXPECT_EQ(canvas.Pixel(3, 4), 120u | 200u << 8);
  EXPECT_EQ(canvas.Pixel(1, 3), 0u);
  ASSERT_TRUE(film.DrawEx(target, {0, 0, 8, 4}, {0, 0, 4, 2}, kStretchColorOnColor));
  EXPECT_EQ(canvas.Pixel(7, 3), 180u | 200u << 8);
  // Halftone averages on Windows; Wine takes one of the covered pixels. The device
  // keeps its own stretch mode either way.
  SetStretchBltMode(canvas.dc(), BLACKONWHITE);
  ASSERT_TRUE(film.DrawEx(target, {0, 0, 2, 1}, {0, 0, 4, 2}, kStretchHalftone));
  const uint32_t shown = canvas.Pixel(0, 0);
  EXPECT_TRUE(Near(shown, 30u | 100u << 8, 12) || shown == 0u || shown == 60u ||
              shown == 200u << 8 || shown == (60u | 200u << 8))
      << std::hex << shown;
  EXPECT_EQ(GetStretchBltMode(canvas.dc()), BLACKONWHITE);

  // A packed 8-bit layer is drawn directly through its palette.
  Film indexed;
  Layer* layer = new Layer(nullptr);
  uint32_t palette[256] = {0xFF000000u, 0xFF00FF00u};
  layer->Create(0, 0, 3, 1, kPixelIndexed8, palette, false, false);
  layer->bitmap.pixels[1] = 1;
  AddSlide(indexed, {layer});
  ASSERT_TRUE(indexed.Draw(target, {0, 0, 3, 1}, 0, 0));
  EXPECT_EQ(canvas.Pixel(1, 0), 0x00FF00u);
  EXPECT_EQ(canvas.Pixel(2, 0), 0u);

  // An empty Film paints its background.
  Film empty;
  empty.SetBackground(0x000000FF, 0, -1);
  ASSERT_TRUE(empty.Draw(target, {0, 0, 10, 10}, 0, 0));
  EXPECT_EQ(canvas.Pixel(5, 5), 0xFF0000u);
}

TEST_F(Win32DrawTest, SlideDibsCarryTheVersionFourHeader) {
  AddSlide(film, {SolidLayer(nullptr, 3, 2, 0x80112233u)});
  ui::UniqueBitmap dib(static_cast<HBITMAP>(film.CreateSlideDIB(0, false)));
  ASSERT_TRUE(dib);
  DIBSECTION about{};
  ASSERT_EQ(GetObjectW(dib.get(), sizeof about, &about), int(sizeof about));
  EXPECT_EQ(about.dsBm.bmWidth, 3);
  EXPECT_EQ(about.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(about.dsBmih.biCompression, DWORD(BI_BITFIELDS));
  EXPECT_EQ(about.dsBitfields[0], 0x00FF0000u);
  uint32_t first;
  std::memcpy(&first, about.dsBm.bmBits, 4);
  EXPECT_EQ(first, PixelAt(film.GetSlide(0)->composite->bitmap, 0, 0));

  Film indexed;
  Layer* layer = new Layer(nullptr);
  uint32_t palette[256] = {0xFF0000FFu, 0xFFFF0000u};
  layer->Create(0, 0, 5, 1, kPixelIndexed8, palette, false, false);
  AddSlide(indexed, {layer});
  ui::UniqueBitmap eight(static_cast<HBITMAP>(indexed.CreateSlideDIB(0, false)));
  ASSERT_TRUE(eight);
  ui::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
  ui::SelectScope select(dc.get(), eight.get());
  RGBQUAD table[2];
  ASSERT_EQ(GetDIBColorTable(dc.get(), 0, 2, table), 2u);
  EXPECT_EQ(table[0].rgbBlue, 0xFF);
  EXPECT_EQ(table[0].rgbReserved, 0);
  EXPECT_EQ(indexed.CreateSlideDIB(3, false), nullptr);
}

TEST_F(Win32DrawTest, LoadResourceFindsTheBytes) {
  ASSERT_EQ(film.LoadResource(nullptr, kScriptResource, MAKEINTRESOURCEA(10), kFormatNone, nullptr),
            RCOK);
  EXPECT_EQ(film.GetSlideWidth(0), 3);
  EXPECT_EQ(film.LoadResource(nullptr, 999, MAKEINTRESOURCEA(10), kFormatNone, nullptr), MISS);
}

// Puts one format on the clipboard, as another program would.
void Offer(UINT format, HANDLE data) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(format, data);
  CloseClipboard();
}

HGLOBAL PackedDib(int32_t width, int32_t height, uint32_t pixel, int32_t claimedHeight = 0) {
  const size_t bytes = sizeof(BITMAPINFOHEADER) + size_t(width) * size_t(height) * 4;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  auto* p = static_cast<uint8_t*>(GlobalLock(block));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = claimedHeight ? claimedHeight : height;  // bottom-up
  header.biPlanes = 1;
  header.biBitCount = 32;
  std::memcpy(p, &header, sizeof header);
  auto* pixels = reinterpret_cast<uint32_t*>(p + sizeof header);
  for (int32_t i = 0; i < width * height; ++i) pixels[i] = i < width ? pixel : 0;  // bottom row
  GlobalUnlock(block);
  return block;
}

TEST_F(Win32DrawTest, TheClipboardCarriesPicturesBothWays) {
  AddSlide(film, {MakeLayer(nullptr, 6, 4, [](int32_t x, int32_t y) {
             return 0xFF000000u | uint32_t(x * 40) << 16 | uint32_t(y * 60);
           })});
  ASSERT_TRUE(film.CopyToClipboard(0, {1, 1, 5, 3}));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  Film pasted;
  ASSERT_TRUE(pasted.PasteFromClipboard(0));  // an empty Film gets a slide first
  ASSERT_EQ(pasted.GetSlideCount(), 1u);
  const CoreBitmap& b = pasted.GetSlide(0)->GetLayer(0)->bitmap;
  EXPECT_EQ(b.width, 4);
  EXPECT_EQ(b.height, 2);
  EXPECT_EQ(PixelAt(b, 0, 0), 0xFF000000u | 40u << 16 | 60u);
  EXPECT_FALSE(film.CopyToClipboard(0, {3, 3, 3, 3}));

  Offer(CF_DIB, PackedDib(3, 2, 0x00123456));
  Film dib;
  ASSERT_TRUE(dib.PasteFromClipboard(0));
  EXPECT_EQ(PixelAt(dib.GetSlide(0)->GetLayer(0)->bitmap, 0, 1), 0xFF123456u);

  Offer(CF_DIB, PackedDib(3, 2, 0, 100000));  // claims far more rows than it holds
  Film lying;
  EXPECT_FALSE(lying.PasteFromClipboard(0));
  EXPECT_EQ(lying.GetSlideCount(), 0u);  // the new slide is not kept

  // Metafiles become vector layers.
  const std::string script = "PGS1\npage\nload LZWD\n";
  ASSERT_EQ(film.LoadMemory(script.data(), uint32_t(script.size()), kFormatNone, nullptr), RCOK);
  HENHMETAFILE notice = win32::MetafileOf(film.GetSlide(0)->GetLayer(0)->bitmap.picture);
  Offer(CF_ENHMETAFILE, CopyEnhMetaFileW(notice, nullptr));
  Film vector;
  ASSERT_TRUE(vector.PasteFromClipboard(0));
  EXPECT_EQ(vector.GetLayerPixelType(0, 0), uint32_t(kPixelVector));
  EXPECT_EQ(vector.GetSlideWidth(0), kNoticeWidth);

  ui::WindowDC screen(nullptr);
  HDC recorder = CreateMetaFileW(nullptr);
  Rectangle(recorder, 0, 0, 50, 20);
  HGLOBAL pict = GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT));
  auto* mfp = static_cast<METAFILEPICT*>(GlobalLock(pict));
  *mfp = {MM_ANISOTROPIC, 5000, 2000, CloseMetaFile(recorder)};
  GlobalUnlock(pict);
  Offer(CF_METAFILEPICT, pict);
  Film old;
  ASSERT_TRUE(old.PasteFromClipboard(0));
  EXPECT_EQ(old.GetLayerPixelType(0, 0), uint32_t(kPixelVector));
  EXPECT_GT(old.GetSlideWidth(0), 0);
}

}  // namespace
