// The records shared with plug-ins: format identifiers, save and load parameter
// records, pages and their byte arrays. Layouts are checked at compile time in the
// 32-bit build; these tests check behaviour and defaults.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "formats/FormatRegistry.h"
#include "formats/GenArray.h"
#include "formats/GenBytes.h"
#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"

using namespace glib;

TEST(FormatRegistry, CodesIdentifiersAndFlags) {
  ASSERT_EQ(KnownFormats().size(), 29u);
  std::set<uint32_t> seen;
  for (const KnownFormat& f : KnownFormats()) {
    EXPECT_EQ(MakeFormatId(f.code, FormatFlags(f.id)), f.id) << f.code;
    EXPECT_EQ(FormatCode(f.id), f.code);
    EXPECT_EQ(KnownFormatByCode(f.code), f.id);
    EXPECT_EQ(FindKnownFormat(f.id), &f);
    seen.insert(f.id);
  }
  EXPECT_EQ(seen.size(), 29u);
  EXPECT_EQ(KnownFormatByCode("jpg"), kFormatJPG);
  EXPECT_EQ(KnownFormatByCode("PNM"), kFormatNone);
  EXPECT_EQ(KnownFormatBySaveClass("WMFSave"), kFormatEMF);
  EXPECT_EQ(KnownFormatBySaveClass("PNMSave"), kFormatPPM);
  EXPECT_EQ(FindKnownFormat(MakeFormatId("PNG", 0)), nullptr);  // another flag byte, another format

  EXPECT_TRUE(IsMultiPageFormat(kFormatTIF));
  EXPECT_TRUE(IsCommonFormat(kFormatTIF));
  EXPECT_FALSE(IsMultiPageFormat(kFormatBMP));
  EXPECT_TRUE(IsCommonFormat(kFormatBMP));
  EXPECT_TRUE(IsMultiPageFormat(kFormatFLM));
  EXPECT_FALSE(IsCommonFormat(kFormatDDS));

  EXPECT_EQ(MakeFormatId("ps", 0), 0x00505320u);
  EXPECT_EQ(FormatCode(0x00505320), "PS ");
  EXPECT_EQ(FormatEntryInfix(0x00505320), "PS");
  EXPECT_EQ(FormatEntryInfix(0x00473320), "G3");
  EXPECT_EQ(FormatEntryInfix(0x00410042), "A");  // a NUL ends the code too
  EXPECT_EQ(MakeFormatId("", 0), kFormatNone);
  EXPECT_EQ(MakeFormatId("ABCD", 0), kFormatNone);
}

TEST(SaveRecords, DefaultsIdentityAndOwnership) {
  BMPSave bmp;
  EXPECT_STREQ(bmp.recordClass->name, "BMPSave");
  EXPECT_EQ(bmp.format, kFormatBMP);
  EXPECT_EQ(bmp.pixelType, kPixelRGB24);
  EXPECT_EQ(bmp.pageCount, -1);
  EXPECT_EQ(bmp.word28, 132u);
  EXPECT_EQ(bmp.word32, 100u);
  EXPECT_EQ(bmp.colorCount, 256u);
  EXPECT_EQ(bmp.word48, 8u);
  EXPECT_EQ(bmp.byte52, 127);
  EXPECT_EQ(bmp.dither + bmp.byte56 + bmp.byte57, 3);
  EXPECT_EQ(bmp.grayscale + bmp.keepPartialFile + bmp.createThumbnail + bmp.topBottom, 0);

  EXPECT_EQ(WMFSave().format, kFormatEMF);
  EXPECT_EQ(PNMSave().format, kFormatPPM);
  EXPECT_EQ(EPSSave().createThumbnail, 1);
  EXPECT_EQ(WBMSave().pixelType, kPixelBW1);
  EXPECT_EQ(JP2Save().quality, 60u);
  EXPECT_EQ(DDSSave().textureFormat, 21u);
  EXPECT_EQ(JNGSave().jpegQuality, 75u);
  EXPECT_EQ(PNGSave().compressionLevel, 6u);
  EXPECT_EQ(SubsampleCode(0x22211222), 0x22122122u);
  EXPECT_EQ(JPGSave().subsample, 0x11111111u);
  EXPECT_EQ(TIFSave().multiStrip, 1);

  GIFSave gif;
  EXPECT_EQ(gif.pixelType, kPixelIndexed8);
  EXPECT_EQ(gif.colorCountField, &gif.colorCount);
  gif.interlace = 1;
  GIFSave copy(gif);
  EXPECT_EQ(copy.colorCountField, &copy.colorCount);
  EXPECT_EQ(copy.interlace, 1);
  *copy.colorCountField = 16;
  EXPECT_EQ(gif.colorCount, 256u);

  // Deleting through the base record reaches the whole object (ASan checks sizes).
  RecordPtr<ImageSave> owned(new PDFSave);
  EXPECT_EQ(owned->recordClass->size, sizeof(PDFSave));
  EXPECT_STREQ(owned->recordClass->name, "PDFSave");
}

TEST(LoadRecords, Defaults) {
  ImageLoad any;
  EXPECT_EQ(any.format, kFormatNone);
  EXPECT_EQ(any.firstPage, 0u);
  EXPECT_EQ(any.pageCount, 1u);
  for (uint8_t b : any.bytes26) EXPECT_EQ(b, 0xFF);
  EXPECT_EQ(TIFLoad().byte84, 1);
  EXPECT_EQ(BMPLoad().byte84, 0);
  EXPECT_EQ(PCDLoad().word84, 3u);
  RecordPtr<ImageLoad> raw(new RAWLoad);
  auto* rawLoad = static_cast<RAWLoad*>(raw.get());
  EXPECT_EQ(raw->format, kFormatRAW);
  EXPECT_EQ(rawLoad->pixelType, kPixelRGB24);
  EXPECT_EQ(std::string(rawLoad->channelOrder, 4), "RGBA");
  EXPECT_EQ(rawLoad->interleaved + rawLoad->littleEndian, 2);
  EXPECT_EQ(rawLoad->fillAlpha, 0);
}

namespace {

int foreignDestroys = 0;
int rowsFreed = 0;

// A page as another module would make it: its own table destroys it.
void ORBISK_CDECL ForeignDestroy(CoreBitmap* self, uint32_t flags) {
  ++foreignDestroys;
  EXPECT_EQ(flags, 1u);
  delete reinterpret_cast<IDEPage*>(self);
}
const CoreBitmapOps kForeignOps = {&ForeignDestroy};

void ORBISK_CDECL FreeRows(void* rows, uintptr_t context) {
  ++rowsFreed;
  EXPECT_EQ(context, 77u);
  platform::PageFree(rows);
}

}  // namespace

TEST(Pages, DefaultsAndDestructionThroughTheirOwnTable) {
  IDEPage page;
  EXPECT_EQ(page.group, -1);
  EXPECT_EQ(page.delay, 10u);
  EXPECT_EQ(page.blendMode, FourCC("norm"));
  EXPECT_EQ(page.visible + page.enabled, 2);
  EXPECT_EQ(page.base, 0);
  EXPECT_EQ(page.bitmap.ownsPixels, 0);
  EXPECT_NE(page.bitmap.ops, nullptr);

  foreignDestroys = rowsFreed = 0;
  {
    ImageDataExchange request;
    EXPECT_EQ(request.options, 2u);
    EXPECT_STREQ(request.recordClass->name, "ImageDataExchange");
    auto* foreign = new IDEPage;
    foreign->bitmap.ops = &kForeignOps;
    foreign->bitmap.pixels = static_cast<uint8_t*>(platform::PageAlloc(64));
    foreign->bitmap.ownsPixels = 1;
    foreign->bitmap.freePixels = &FreeRows;
    foreign->bitmap.freeContext = 77;
    request.pages.Add(foreign);
    auto* borrowed = new IDEPage;  // a save page refers to rows it does not own
    uint8_t rows[16];
    borrowed->bitmap.pixels = rows;
    request.pages.Add(borrowed);
    request.pages.record()->table->Add(request.pages.record(), nullptr);  // a careless plug-in
  }
  EXPECT_EQ(foreignDestroys, 1);
  EXPECT_EQ(rowsFreed, 1);
}

TEST(GenBytes, GrowsThroughItsTableAndRefusesNonsense) {
  gen::byte_array bytes;
  EXPECT_EQ(bytes.size(), 0u);
  EXPECT_EQ(bytes.data(), nullptr);
  const char binary[] = {'a', '\0', 'b'};
  bytes.assign(binary, 3);
  EXPECT_EQ(bytes.view(), std::string_view(binary, 3));
  EXPECT_EQ(bytes.record()->capacity, 64u);
  bytes.append(std::string(70, 'x').data(), 70);
  EXPECT_EQ(bytes.size(), 73u);
  EXPECT_EQ(bytes.record()->capacity, 96u);
  bytes.append(bytes.data(), bytes.size());  // from itself, across a reallocation
  EXPECT_EQ(bytes.size(), 146u);
  EXPECT_EQ(std::memcmp(bytes.data() + 73, binary, 3), 0);

  gen::ByteArrayRecord* rec = bytes.record();
  EXPECT_FALSE(rec->table->Assign(rec, nullptr, 4));
  EXPECT_FALSE(rec->table->Append(rec, "x", UINT32_MAX));
  EXPECT_EQ(bytes.size(), 146u);
  gen::byte_array copy(bytes);
  gen::byte_array moved(std::move(bytes));
  EXPECT_EQ(copy.view(), moved.view());
  EXPECT_TRUE(bytes.empty());
}
