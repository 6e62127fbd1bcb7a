#include "host/SaveOptions.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "host/ProfileStore.h"

using namespace host;
using namespace host::save;

namespace {

// Strings only, as the registry keeps the options.
class MemoryStore final : public ProfileStore {
 public:
  std::map<std::string, std::string, std::less<>> strings;
  std::string GetString(std::string_view name, std::string_view fallback) const override {
    auto it = strings.find(name);
    return it == strings.end() ? std::string(fallback) : it->second;
  }
  int32_t GetInt(std::string_view, int32_t fallback) const override { return fallback; }
  std::optional<std::vector<uint8_t>> GetBinary(std::string_view) const override { return {}; }
  bool SetString(std::string_view name, std::string_view value) override {
    strings[std::string(name)] = value;
    return true;
  }
  bool SetInt(std::string_view, int32_t) override { return false; }
  bool SetBinary(std::string_view, std::span<const uint8_t>) override { return false; }
};

std::vector<std::string> Labels(const std::vector<Row>& rows) {
  std::vector<std::string> labels;
  for (const Row& row : rows) labels.push_back(row.label);
  return labels;
}

template <class T>
const T& As(const glib::RecordPtr<glib::ImageSave>& record) {
  EXPECT_EQ(record->recordClass, &T::kClass);
  return static_cast<const T&>(*record);
}

}  // namespace

TEST(SaveOptions, NamesAreUniqueAndStoredValuesOverrideDefaultsOnlyWhenPresent) {
  std::set<std::string> names;
  for (const OptionDef& option : Options())
    EXPECT_TRUE(names.insert(option.name).second) << option.name;

  MemoryStore store;
  store.strings["Quality_JPG"] = "90";
  store.strings["Compression_TIF"] = "";  // empty: the default stays
  store.strings["password_PDF"] = "secret";
  Values values;
  values.Load(store);
  EXPECT_EQ(values.Get(kQuality_JPG), 90);
  EXPECT_EQ(values.Get(kCompression_TIF), 5);
  EXPECT_EQ(values.Password(), "secret");

  // Written as decimal text; read back they are the same.
  values.Set(kPt_TIF, int32_t(0x83010408));
  MemoryStore written;
  ASSERT_TRUE(values.Save(written));
  EXPECT_EQ(written.strings.size(), size_t(kOptionCount));
  EXPECT_EQ(written.strings["Quality_JPG"], "90");
  EXPECT_EQ(written.strings["Pt_TIF"], std::to_string(int32_t(0x83010408)));
  Values again;
  again.Load(written);
  for (size_t i = 0; i < kOptionCount; ++i) EXPECT_EQ(again.Get(Opt(i)), values.Get(Opt(i)));
}

TEST(SaveOptions, RowsFollowTheFormatThePageCountAndTheJpegMode) {
  Values values;
  const uint32_t tif = glib::kFormatTIF, bmp = glib::kFormatBMP;
  // "Save only current page" only for formats that write every page, and only with pages.
  EXPECT_EQ(Labels(BuildRows(tif, 1, values)).back(), "Use dithering");
  EXPECT_EQ(Labels(BuildRows(tif, 2, values)).back(), "Save only current page");
  EXPECT_EQ(Labels(BuildRows(bmp, 2, values)),
            (std::vector<std::string>{"Color depth (bits per pixel)", "Top-Bottom direction",
                                      "Convert to grayscale", "Use dithering"}));
  EXPECT_TRUE(BuildRows(glib::kFormatHDR, 1, values).empty());

  // The depth row of JPEG shows the list and the value of the current mode.
  values.Set(kPixelType_Lossless_JPG, 0x01010110);
  Row depth = BuildRows(glib::kFormatJPG, 1, values).front();
  EXPECT_EQ(depth.option, kPixelType_BaselineProgressive_JPG);
  EXPECT_EQ(depth.choices.size(), 3u);
  EXPECT_EQ(CellText(depth, values), "24 (True color, YCbCr)");
  values.Set(kMode_JPG, 195);
  depth = BuildRows(glib::kFormatJPG, 1, values).front();
  EXPECT_EQ(depth.option, kPixelType_Lossless_JPG);
  EXPECT_EQ(CellText(depth, values), "16 (Grayscale)");
  values.Set(kMode_JPG, 194);
  EXPECT_EQ(BuildRows(glib::kFormatJPG, 1, values).front().option,
            kPixelType_BaselineProgressive_JPG);

  // Cells: the label of the value, nothing for a value not in the list, numbers as such.
  values.Set(kPt_BMP, 12345);
  std::vector<Row> rows = BuildRows(bmp, 1, values);
  EXPECT_EQ(CellText(rows[0], values), "");
  EXPECT_EQ(CellText(rows[3], values), "Yes");
  EXPECT_EQ(CellText(BuildRows(glib::kFormatGIF, 1, values)[0], values), "256");
}

TEST(SaveOptions, RecordsCarryTheirFormatsOptions) {
  Values values;
  values.Set(kQuality_JPG, 90);
  values.Set(kSubsample_JPG, 0x22211222);
  values.Set(kMode_JPG, 193);
  values.Set(kPixelType_ExtendedSequential_JPG, 0x0101010C);
  auto jpg = CreateImageSave(glib::kFormatJPG, values, 0);
  ASSERT_TRUE(jpg);
  const auto& j = As<glib::JPGSave>(jpg);
  EXPECT_EQ(j.quality, 90u);
  EXPECT_EQ(j.subsample, 0x22122122u) << "byte-reversed";
  EXPECT_EQ(j.mode, 193u);
  EXPECT_EQ(j.pixelType, 0x0101010Cu) << "the depth of the current mode";
  EXPECT_EQ(j.pageCount, -1);

  // CMYK for TIFF: RGBA pixels and the CMYK marker.
  values.Set(kPt_TIF, 0x05010408);
  values.Set(kSOnlyCurrentPage, 1);
  auto tif = CreateImageSave(glib::kFormatTIF, values, 3);
  ASSERT_TRUE(tif);
  EXPECT_EQ(As<glib::TIFSave>(tif).pixelType, uint32_t(glib::kPixelRGBA32));
  EXPECT_EQ(As<glib::TIFSave>(tif).cmyk, 5u);
  EXPECT_EQ(tif->firstPage, 3u);
  EXPECT_EQ(tif->pageCount, 1);

  // GIF writes its colour count through its own pointer.
  values.Set(kColors_GIF, 16);
  auto gif = CreateImageSave(glib::kFormatGIF, values, 0);
  ASSERT_TRUE(gif);
  EXPECT_EQ(gif->colorCount, 16u);

  // The PDF password is cut to 32 characters; without one, nothing is checked.
  values.Set(kcheckPswOpen_PDF, 1);
  values.SetPassword(std::string(40, 'x'));
  auto pdf = CreateImageSave(glib::kFormatPDF, values, 0);
  ASSERT_TRUE(pdf);
  EXPECT_EQ(As<glib::PDFSave>(pdf).passwordLength, 32u);
  EXPECT_EQ(As<glib::PDFSave>(pdf).checkPasswordOpen, 1u);
  values.SetPassword("");
  pdf = CreateImageSave(glib::kFormatPDF, values, 0);
  EXPECT_EQ(As<glib::PDFSave>(pdf).checkPasswordOpen, 0u);

  // PNG and the plain records.
  values.Set(kPt_PNG, 0x01010110);
  values.Set(kCompressionLevel_PNG, 9);
  auto png = CreateImageSave(glib::kFormatPNG, values, 0);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->pixelType, 0x01010110u);
  EXPECT_EQ(As<glib::PNGSave>(png).compressionLevel, 9u);
  auto dcm = CreateImageSave(glib::kFormatDCM, values, 0);
  ASSERT_TRUE(dcm);
  EXPECT_EQ(dcm->pixelType, uint32_t(glib::kPixelRGB24));
  EXPECT_FALSE(CreateImageSave(glib::MakeFormatId("XYZ", 0), values, 0));
}

TEST(SaveOptions, TextSettingAcceptsWhatTheRowsAcceptAndNamesTheRest) {
  Values values;
  EXPECT_EQ(SetFromText(values, "Quality_JPG", "95"), "");
  EXPECT_EQ(values.Get(kQuality_JPG), 95);
  EXPECT_NE(SetFromText(values, "Quality_JPG", "0"), "");
  EXPECT_NE(SetFromText(values, "Quality_JPG", "high"), "");
  EXPECT_EQ(values.Get(kQuality_JPG), 95);
  // Lists take a label or a value.
  EXPECT_EQ(SetFromText(values, "Compression_TIF", "Flate"), "");
  EXPECT_EQ(values.Get(kCompression_TIF), 8);
  EXPECT_EQ(SetFromText(values, "Compression_TIF", "32773"), "");
  EXPECT_EQ(values.Get(kCompression_TIF), 32773);
  EXPECT_NE(SetFromText(values, "Compression_TIF", "9"), "");
  EXPECT_EQ(SetFromText(values, "Subsample_JPG", "0x22211222"), "");
  EXPECT_EQ(values.Get(kSubsample_JPG), 0x22211222);
  // A depth of any JPEG mode's list is accepted for its own option only.
  EXPECT_EQ(SetFromText(values, "PixelType_Lossless_JPG", "64 (True color, RGBA)"), "");
  EXPECT_NE(SetFromText(values, "PixelType_BaselineProgressive_JPG", "64 (True color, RGBA)"), "");
  EXPECT_NE(SetFromText(values, "NoSuchOption", "1").find("unknown"), std::string::npos);
  EXPECT_EQ(SetFromText(values, "password_PDF", "p w"), "");
  EXPECT_EQ(values.Password(), "p w");
}

TEST(SaveOptions, SaveRewritesOnlyTheListedFormatsWithThePagesPixelType) {
  using namespace glib;
  auto bmp = DefaultSaveRecord(kFormatBMP, kPixelBW1);
  ASSERT_TRUE(bmp);
  EXPECT_EQ(bmp->pixelType, uint32_t(kPixelRGBA32)) << "a 1-bit page in full colour";
  auto jpg = DefaultSaveRecord(kFormatJPG, kPixelRGB24);
  ASSERT_TRUE(jpg);
  EXPECT_EQ(jpg->recordClass, &JPGSave::kClass);
  EXPECT_EQ(jpg->pixelType, uint32_t(kPixelModel6x8));
  auto png = DefaultSaveRecord(kFormatPNG, kPixelRGB48);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->pixelType, uint32_t(kPixelRGB48));
  // Shared records carry the format they write.
  auto dcx = DefaultSaveRecord(MakeFormatId("DCX", 0x08), kPixelRGB24);
  ASSERT_TRUE(dcx);
  EXPECT_EQ(dcx->format, uint32_t(kFormatPCX));
  uint32_t pgm = MakeFormatId("PGM", 0);
  auto pnm = DefaultSaveRecord(pgm, kPixelRGB24);
  ASSERT_TRUE(pnm);
  EXPECT_EQ(pnm->format, pgm);
  EXPECT_FALSE(DefaultSaveRecord(kFormatPDF, kPixelRGB24));
  EXPECT_FALSE(DefaultSaveRecord(kFormatEPS, kPixelRGB24));
}
