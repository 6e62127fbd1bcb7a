#include "host/FileTypes.h"

#include <gtest/gtest.h>

#include "formats/FilterFormatDesc.h"
#include "formats/FormatRegistry.h"

namespace {

void Fill(glib::FilterFormatDesc& d, uint32_t id, const char* extensions, const char* filterText,
          bool canRead = true) {
  d.Id = id;
  d.Extensions = extensions;
  d.FilterText = filterText;
  d.CanRead = canRead ? 1 : 0;
}

TEST(FileTypes, EveryReadableExtensionOnceSortedWithItsFirstFormatsDescription) {
  glib::FilterFormatDesc tiff, jpeg, other, writeOnly, raw, odd, disabled;
  Fill(tiff, glib::kFormatTIF, "tif\ntiff\nskin", "|Tagged Image|*.tif");
  Fill(jpeg, glib::kFormatJPG, "jpg\njpe", "|JPEG|*.jpg;*.jpe|more");
  Fill(other, 0x12345678, "tif\nxyz", "|Another|*.tif");
  Fill(writeOnly, 0x11, "wo", "|Write only|*.wo", false);
  writeOnly.CanWrite = 1;
  Fill(raw, glib::kFormatRAW, "raw", "|RAW pixel data|*.raw");
  Fill(odd, 0x22, "a b\n\nok", "Bare");
  Fill(disabled, 0x33, "dis", "|Off|*.dis");
  disabled.Enabled = 0;
  glib::FilterFormatDesc* formats[] = {&tiff, &jpeg, &other,    &writeOnly,
                                       &raw,  &odd,  &disabled, nullptr};
  std::vector<host::FileType> types = host::AssociableTypes(formats);
  std::vector<host::FileType> expected = {{"jpe", "JPEG"},         {"jpg", "JPEG"},
                                          {"ok", "Bare"},          {"skin", "Tagged Image"},
                                          {"tif", "Tagged Image"}, {"tiff", "Tagged Image"},
                                          {"xyz", "Another"}};
  EXPECT_EQ(types, expected);
}

TEST(FileTypes, NamesAndCommandLine) {
  EXPECT_EQ(host::ProgIdFor("png"), "Orbisk.png");
  EXPECT_EQ(host::OpenCommand("C:\\Program Files\\Orbisk\\Orbisk.exe"),
            "\"C:\\Program Files\\Orbisk\\Orbisk.exe\" \"%1\"");
}

TEST(FileTypes, ThePreviousHandlerSurvivesItsTextForm) {
  const host::PreviousHandler cases[] = {
      {false, std::nullopt}, {true, std::nullopt}, {true, "pngfile"}, {true, ""}, {true, "=x!"}};
  for (const host::PreviousHandler& previous : cases) {
    std::optional<host::PreviousHandler> back =
        host::DecodePrevious(host::EncodePrevious(previous));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, previous);
  }
  // Whatever else stands in the profile is no record.
  EXPECT_FALSE(host::DecodePrevious(""));
  EXPECT_FALSE(host::DecodePrevious("pngfile"));
}

TEST(FileTypes, TheDetectStringHoldsOnlyWholeTermsThatFitWithTheirNul) {
  std::vector<host::FileType> types{{"bmp", "Bitmap"}, {"jpg", "JPEG"}, {"tiff", "TIFF"}};
  const std::string all = "EXT=\"BMP\" | EXT=\"JPG\" | EXT=\"TIFF\"";
  EXPECT_EQ(host::DetectString(types, 1024), all);
  EXPECT_EQ(host::DetectString(types, all.size() + 1), all);
  // One byte short: the last term goes, never a part of it.
  EXPECT_EQ(host::DetectString(types, all.size()), "EXT=\"BMP\" | EXT=\"JPG\"");
  EXPECT_EQ(host::DetectString(types, 10), "EXT=\"BMP\"");
  EXPECT_EQ(host::DetectString(types, 9), "");
  EXPECT_EQ(host::DetectString(types, 0), "");
  EXPECT_EQ(host::DetectString({}, 100), "");
}

}  // namespace
