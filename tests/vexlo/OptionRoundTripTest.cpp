// Every value of every option row the save dialog offers, for every format the
// plug-in writes: the record the option table makes is accepted, the file loads
// back with the picture in it (exactly where the depth loses nothing, within the
// quality's PSNR for JPEG), and the reference decoder reads the file as we do.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "Harness.h"
#include "formats/FormatRegistry.h"
#include "formats/PixelType.h"
#include "formats/Retcode.h"
#include "host/SaveOptions.h"

using namespace vexlo_test;
namespace save = host::save;

namespace {

// Files the reference decoder has no reader for, or reads its own way: our own
// format, headerless pixels, 16-bit icons and cursors (valid, but not read by it),
// and monochrome PCX, where it takes 0 for white whatever the header palette says
// (we write 0 as black, as the format's documentation has it).
bool ReferenceReads(uint32_t format, uint32_t type) {
  if (format == glib::kFormatFLM || format == glib::kFormatRAW) return false;
  if (format == glib::kFormatJXL) return false;  // no JPEG XL reader in it here (djxl: JxlTest)
  if ((format == glib::kFormatICO || format == glib::kFormatCUR) && glib::BitsPerPixel(type) == 16)
    return false;
  return !(format == glib::kFormatPCX && glib::BitsPerPixel(type) == 1);
}

double Psnr(const Picture& a, const Picture& b) {
  double sum = 0;
  size_t count = 0;
  for (size_t i = 0; i < a.bgra.size(); i += 4)
    for (int c = 0; c < 3; ++c, ++count) {
      double d = double(a.bgra[i + c]) - double(b.bgra[i + c]);
      sum += d * d;
    }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(count) / sum);
}

// The worst PSNR a quality may give on a smooth picture.
double PsnrFloor(uint32_t quality) { return 14 + 14 * std::min(quality, 100u) / 100.0; }

struct Saved {
  uint32_t format;
  std::string row, value;
};

std::ostream& operator<<(std::ostream& out, const Saved& s) {
  return out << glib::FormatEntryInfix(s.format) << " \"" << s.row << "\" = " << s.value;
}

class OptionRoundTripTest : public ::testing::Test {
 protected:
  // The values each row is tried with: every choice, or a range's ends and middle.
  static std::vector<std::pair<int32_t, std::string>> Trials(const save::Row& row) {
    std::vector<std::pair<int32_t, std::string>> trials;
    if (row.kind == save::RowKind::kCombobox) {
      for (const save::Choice& choice : row.choices)
        trials.emplace_back(choice.value, choice.label);
    } else if (row.kind == save::RowKind::kSpin) {
      for (int64_t v : {row.minimum, (row.minimum + row.maximum) / 2, row.maximum})
        trials.emplace_back(int32_t(v), std::to_string(v));
    }
    return trials;
  }

  // How a record's file must come back: exactly (with or without its alpha), as a
  // JPEG of a quality, refused by the codec library, or only in outline.
  struct Expectation {
    bool exact = false, alpha = false;
    uint32_t jpegQuality = 0;  // 0: not JPEG
    bool refused = false;
    bool oneBitAlpha = false;
  };
  static Expectation Expect(uint32_t format, const glib::ImageSave& record,
                            const save::Values& values) {
    Expectation e;
    const uint32_t type = record.pixelType;
    bool full = type == glib::kPixelRGB24 || type == glib::kPixelRGBA32 ||
                type == glib::kPixelRGB48 || type == glib::kPixelRGBA64;
    e.exact = full && !record.grayscale;
    e.alpha = glib::HasAlpha(type);
    e.oneBitAlpha = type == glib::kPixelRGBA5551;
    if (format == glib::kFormatJPG) {
      const auto& jpeg = static_cast<const glib::JPGSave&>(record);
      // The lossless process is not in the codec library we build on.
      e.refused = jpeg.mode == 195;
      e.exact = false;
      // The quality the user chose, not the one the record says.
      e.jpegQuality =
          record.grayscale || glib::ColourModel(type) == 1 ? 0 : values.Get(save::kQuality_JPG);
    } else if (format == glib::kFormatTIF) {
      const auto& tiff = static_cast<const glib::TIFSave&>(record);
      bool bilevel = (tiff.compression >= 2 && tiff.compression <= 4) || tiff.compression == 32771;
      // Nor is the JBIG coder.
      e.refused = tiff.compression == 34661;
      if (tiff.compression == 7 || tiff.compression == 6) {
        e.exact = false;
        e.jpegQuality = record.grayscale ? 0 : values.Get(save::kQualityJPEG_TIF);
      }
      if (bilevel || tiff.cmyk == 5) e.exact = false;
    } else if (format == glib::kFormatFLM) {
      // The document as it stands, alpha and all, unless its pixels go as JPEG.
      const auto& film = static_cast<const glib::FLMSave&>(record);
      e.exact = film.compression != 8;
      e.alpha = true;
    } else if (glib::FormatEntryInfix(format) == "PGM" || glib::FormatEntryInfix(format) == "PBM") {
      e.exact = false;  // grey and black-and-white whatever the depth says
    } else if (glib::FormatEntryInfix(format) == "JP2") {
      // JPEG 2000 files and codestreams: lossless at quality 100 only.
      e.exact = e.exact && static_cast<const glib::JP2Save&>(record).quality >= 100;
    } else if (format == glib::kFormatJXL) {
      // Lossy unless asked: held to the quality's PSNR like JPEG.
      const auto& jxl = static_cast<const glib::JXLSave&>(record);
      e.exact = e.exact && jxl.lossless;
      if (!jxl.lossless && !record.grayscale && glib::ColourModel(type) != 1)
        e.jpegQuality = jxl.quality;
    } else if (format == glib::kFormatICO || format == glib::kFormatCUR) {
      // Without an alpha channel the mask makes each pixel opaque or clear.
      e.exact = e.exact && e.alpha;
    }
    return e;
  }

  void RoundTrip(const Saved& what, const save::Values& values) {
    SCOPED_TRACE(testing::Message() << what);
    glib::RecordPtr<glib::ImageSave> record = save::CreateImageSave(what.format, values, 0);
    ASSERT_TRUE(record);
    Expectation e = Expect(what.format, *record, values);
    std::string path = vexlo.Dir().File("round." + glib::FormatEntryInfix(what.format));
    uint32_t rc = vexlo.Save(path, {source_}, *record);
    if (e.refused) {
      EXPECT_NE(rc, glib::RCOK);
      return;
    }
    ASSERT_EQ(rc, glib::RCOK);
    if (what.format == glib::kFormatRAW) return;  // read back only with its layout
    Loaded back = vexlo.Load(path, nullptr, what.format);
    ASSERT_EQ(back.rc, glib::RCOK);
    const Picture& got = back.pages.at(0);
    ASSERT_EQ(got.width, source_.width);
    ASSERT_EQ(got.height, source_.height);
    if (e.exact) {
      Picture expected = source_;
      if (!e.alpha)
        for (size_t i = 3; i < expected.bgra.size(); i += 4) expected.bgra[i] = 255;
      EXPECT_EQ(MaxDifference(got, expected), 0);
    }
    if (e.jpegQuality) {
      EXPECT_GE(Psnr(got, source_), PsnrFloor(e.jpegQuality)) << "quality " << e.jpegQuality;
    }
    if (HaveConvert() && ReferenceReads(what.format, record->pixelType)) {
      Picture reference;
      ASSERT_TRUE(ReferenceDecode(path, reference)) << "the reference decoder refused it";
      if (e.oneBitAlpha) {
        // It reads a one-bit alpha as half opacity; the colours must agree.
        for (size_t i = 3; i < reference.bgra.size(); i += 4) reference.bgra[i] = got.bgra[i];
      }
      // Both decoders of one file: the same picture, up to IDCT rounding for JPEG.
      EXPECT_LE(MaxDifference(got, reference), e.jpegQuality ? 3 : 1);
    }
  }

  Vexlo vexlo;
  Picture source_ = Pattern(40, 28, true);
};

TEST_F(OptionRoundTripTest, EveryValueOfEveryRowOfEveryWrittenFormat) {
  std::set<std::string> formats;
  int saves = 0;
  for (const glib::FilterFormatDesc* desc : vexlo.Manager().Formats()) {
    if (!desc->SaveImageData) continue;
    const uint32_t format = desc->Id;
    formats.insert(glib::FormatEntryInfix(format));
    const save::Values defaults;
    RoundTrip({format, "(defaults)", ""}, defaults);
    ++saves;
    for (const save::Row& row : save::BuildRows(format, 1, defaults)) {
      for (const auto& [value, label] : Trials(row)) {
        save::Values values;
        values.Set(row.option, value);
        RoundTrip({format, row.label, label}, values);
        ++saves;
        // The JPEG depth list changes with the mode: each mode with each of its depths.
        if (row.option == save::kMode_JPG) {
          save::Row depth = save::BuildRows(format, 1, values).front();
          for (const auto& [type, name] : Trials(depth)) {
            save::Values both = values;
            both.Set(depth.option, type);
            RoundTrip({format, std::string(row.label) + " / " + depth.label, label + " / " + name},
                      both);
            ++saves;
          }
        }
      }
    }
  }
  // Every format of the plug-in that has a record of options is among them.
  for (const char* code : {"BMP", "JPG", "PNG", "GIF", "TIF", "ICO", "CUR", "PCX", "TGA", "PPM"})
    EXPECT_TRUE(formats.count(code)) << code;
  EXPECT_GT(saves, 150);
}

}  // namespace
