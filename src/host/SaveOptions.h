// The save options of every output format in one declarative table: the rows the
// save dialog's property list shows for a format, the value names they are kept
// under, their defaults, and the save record each format's values become. The same
// table serves the dialog, the registry, and `orbisk convert --option KEY=VALUE`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ImageSave.h"

namespace host {
class ProfileStore;
}

namespace host::save {

// One option per value name, in the order they are read and written.
enum Opt : uint16_t {
  kSOnlyCurrentPage,
  kPt_BMP,
  kTopBottomDirection_BMP,
  kGrayScale_BMP,
  kDither_BMP,
  kPt_CLP,
  kGrayScale_CLP,
  kDither_CLP,
  kPt_CUR,
  kGrayScale_CUR,
  kDither_CUR,
  kHotSpotX_CUR,
  kHotSpotY_CUR,
  kPt_ICO,
  kGrayScale_ICO,
  kDither_ICO,
  kColors_GIF,
  kCreateGlobalPalette_GIF,
  kNearbyFramesInterpolation_GIF,
  kInterlace_GIF,
  kGrayScale_GIF,
  kDither_GIF,
  kPt_JPG,
  kPixelType_BaselineProgressive_JPG,
  kPixelType_ExtendedSequential_JPG,
  kPixelType_Lossless_JPG,
  kMode_JPG,
  kQuality_JPG,
  kGrayScale_JPG,
  kSubsample_JPG,
  kLosslessPredictor_JPG,
  kLosslessPointTransform_JPG,
  kInterleaved_JPG,
  kOpthuff_JPG,
  kRestartIntervalInRows_JPG,
  kCreateThumbnail_JPG,
  kPt_JP2,
  kQuality_JP2,
  kGrayScale_JP2,
  kPt_PCX,
  kGrayScale_PCX,
  kDither_PCX,
  kPt_DCX,
  kGrayScale_DCX,
  kDither_DCX,
  kPt_PNG,
  kCompressionLevel_PNG,
  kUseAlphaChannelForIndexed_PNG,
  kGrayScale_PNG,
  kDither_PNG,
  kPt_MNG,
  kCompressionLevel_MNG,
  kUseAlphaChannelForIndexed_MNG,
  kGrayScale_MNG,
  kDither_MNG,
  kPt_JNG,
  kQualityJPEG_JNG,
  kCompressionLevel_JNG,
  kGrayScale_JNG,
  kPt_TGA,
  kUseRLE_TGA,
  kGrayScale_TGA,
  kDither_TGA,
  kPt_PSD,
  kUseRLE_PSD,
  kGrayScale_PSD,
  kPt_TIF,
  kCompression_TIF,
  kTiled_TIF,
  kMultiStrip_TIF,
  kQualityJPEG_TIF,
  kCompressionLevel_TIF,
  kSamplingJPEG_TIF,
  kFillOrder_TIF,
  kLittleendian_TIF,
  kBig_TIF,
  kPhotometricMONO_TIF,
  kPredictor_TIF,
  kCreateThumbnail_TIF,
  kGrayScale_TIF,
  kDither_TIF,
  kPt_JBG,
  kGrayScale_JBG,
  kDither_JBG,
  kPt_PAM,
  kGrayscale_PAM,
  kDither_PAM,
  kRawData_PPM,
  kGrayScale_PPM,
  kDither_PPM,
  kGrayScale_PFM,
  kGrayScale_RAW,
  kPt_EPS,
  kGrayScale_EPS,
  kCreateThumbnail_EPS,
  kDither_WBM,
  kDither_OTA,
  kFormat_DDS,
  kMipMaps_DDS,
  kCompression_EXR,
  kCompression_FPX,
  kQualityJPEG_FPX,
  kCompression_FLM,
  kQualityJPEG_FLM,
  kEmfType_EMF,
  kiPredictorType_PDF,
  kPDFFilterType_PDF,
  kiDestBPC_PDF,
  kboolEarlyChange_PDF,
  kiK_PDF,
  kiDamagedRowsBeforeError_PDF,
  kboolEndOfLine_PDF,
  kboolEncodedByteAlign_PDF,
  kboolEndOfBlock_PDF,
  kboolBlackIs1_PDF,
  kiColorTransform_PDF,
  kpassword_PDF,
  kcheckPswOpen_PDF,
  kcheckPswPrint_PDF,
  // JPEG XL
  kPt_JXL,
  kQuality_JXL,
  kEffort_JXL,
  kLossless_JXL,
  kGrayScale_JXL,
  kOptionCount
};

struct OptionDef {
  const char* name;  // the value name it is kept under
  int32_t defaultValue;
};
// Indexed by Opt.
std::span<const OptionDef> Options();
// The option of a value name (exact spelling), or kOptionCount.
Opt FindOption(std::string_view name);

// A row of the property list: kind 0 a list of choices, 1 a number in a range, 2 text.
enum class RowKind : uint8_t { kCombobox = 0, kSpin = 1, kEdit = 2 };

struct Choice {
  const char* label;
  int32_t value;
};

struct Row {
  RowKind kind;
  const char* label;
  Opt option;
  std::span<const Choice> choices;  // kCombobox
  int64_t minimum = 0;              // kSpin
  int64_t maximum = 0;
};

// Every option's value; the PDF password is the one text.
class Values {
 public:
  Values();
  int32_t Get(Opt option) const { return values_[option]; }
  void Set(Opt option, int32_t value) { values_[option] = value; }
  const std::string& Password() const { return password_; }  // UTF-8
  void SetPassword(std::string text) { password_ = std::move(text); }

  // Reads every option whose value is present and not empty (`atol` of its text);
  // the others keep what they had.
  void Load(const ProfileStore& store);
  // Writes every option as its decimal text, the password as it stands.
  bool Save(ProfileStore& store) const;

 private:
  int32_t values_[kOptionCount];
  std::string password_;
};

// The rows of a format (its code, as "JPG"), for a document of `pageCount` pages:
// empty for a format without options. "Save only current page" comes last for
// formats that write every page, when there is more than one page. The JPEG depth
// row lists the depths of the current mode and edits that mode's option.
std::vector<Row> BuildRows(uint32_t format, int32_t pageCount, const Values& values);

// What a row's value cell shows: the choice's label (empty when no choice has the
// value), the number, or the text.
std::string CellText(const Row& row, const Values& values);

// Sets an option from text, as typed on a command line: a number (or, for a list, a
// choice's label) that the option's rows accept. An empty string on success, else
// what is wrong with it.
std::string SetFromText(Values& values, std::string_view name, std::string_view text);

// The save record of the format filled from its options, or null for a format
// without a record. "Save only current page" writes `currentPage` alone.
glib::RecordPtr<glib::ImageSave> CreateImageSave(uint32_t format, const Values& values,
                                                 int32_t currentPage);

// The record "Save" rewrites a file with: the constructor defaults of the format's
// class, for the formats that can be rewritten in place, and the pixel type of the
// page on screen (`pagePixelType`); null for every other format.
glib::RecordPtr<glib::ImageSave> DefaultSaveRecord(uint32_t format, uint32_t pagePixelType);

}  // namespace host::save
