#include "host/SaveOptions.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "host/ProfileStore.h"
#include "platform/Text.h"

namespace host::save {
namespace {

using glib::ImageSave;

// ---- the options: value name and default, in the order of Opt ----

constexpr OptionDef kOptions[] = {
    {"SOnlyCurrentPage", 0},
    {"Pt_BMP", 0x03010308},
    {"TopBottomDirection_BMP", 0},
    {"GrayScale_BMP", 0},
    {"Dither_BMP", 1},
    {"Pt_CLP", 0x03010308},
    {"GrayScale_CLP", 0},
    {"Dither_CLP", 1},
    {"Pt_CUR", 0x03010308},
    {"GrayScale_CUR", 0},
    {"Dither_CUR", 1},
    {"HotSpotX_CUR", 0},
    {"HotSpotY_CUR", 0},
    {"Pt_ICO", 0x03010308},
    {"GrayScale_ICO", 0},
    {"Dither_ICO", 1},
    {"Colors_GIF", 256},
    {"CreateGlobalPalette_GIF", 1},
    {"NearbyFramesInterpolation_GIF", 0},
    {"Interlace_GIF", 0},
    {"GrayScale_GIF", 0},
    {"Dither_GIF", 1},
    {"Pt_JPG", 0x06010308},
    {"PixelType_BaselineProgressive_JPG", 0x06010308},
    {"PixelType_ExtendedSequential_JPG", 0x06010308},
    {"PixelType_Lossless_JPG", 0x03010308},
    {"Mode_JPG", 192},
    {"Quality_JPG", 75},
    {"GrayScale_JPG", 0},
    {"Subsample_JPG", 0x11111111},
    {"LosslessPredictor_JPG", 1},
    {"LosslessPointTransform_JPG", 0},
    {"Interleaved_JPG", 1},
    {"Opthuff_JPG", 0},
    {"RestartIntervalInRows_JPG", 0},
    {"CreateThumbnail_JPG", 0},
    {"Pt_JP2", int32_t(0x83010408)},
    {"Quality_JP2", 100},
    {"GrayScale_JP2", 0},
    {"Pt_PCX", 0x03010308},
    {"GrayScale_PCX", 0},
    {"Dither_PCX", 1},
    {"Pt_DCX", 0x03010308},
    {"GrayScale_DCX", 0},
    {"Dither_DCX", 1},
    {"Pt_PNG", 0x03010308},
    {"CompressionLevel_PNG", 6},
    {"UseAlphaChannelForIndexed_PNG", 1},
    {"GrayScale_PNG", 0},
    {"Dither_PNG", 1},
    {"Pt_MNG", 0x03010308},
    {"CompressionLevel_MNG", 6},
    {"UseAlphaChannelForIndexed_MNG", 1},
    {"GrayScale_MNG", 0},
    {"Dither_MNG", 1},
    {"Pt_JNG", 0x06010308},
    {"QualityJPEG_JNG", 75},
    {"CompressionLevel_JNG", 6},
    {"GrayScale_JNG", 0},
    {"Pt_TGA", 0x03010308},
    {"UseRLE_TGA", 0},
    {"GrayScale_TGA", 0},
    {"Dither_TGA", 1},
    {"Pt_PSD", int32_t(0x83010408)},
    {"UseRLE_PSD", 1},
    {"GrayScale_PSD", 0},
    {"Pt_TIF", int32_t(0x83010408)},
    {"Compression_TIF", 5},
    {"Tiled_TIF", 0},
    {"MultiStrip_TIF", 1},
    {"QualityJPEG_TIF", 75},
    {"CompressionLevel_TIF", 6},
    {"SamplingJPEG_TIF", 0x11111111},
    {"FillOrder_TIF", 1},
    {"Littleendian_TIF", 1},
    {"Big_TIF", 0},
    {"PhotometricMONO_TIF", 0},
    {"Predictor_TIF", 1},
    {"CreateThumbnail_TIF", 0},
    {"GrayScale_TIF", 0},
    {"Dither_TIF", 1},
    {"Pt_JBG", 0x01010101},
    {"GrayScale_JBG", 1},
    {"Dither_JBG", 1},
    {"Pt_PAM", 0x03010308},
    {"Grayscale_PAM", 0},
    {"Dither_PAM", 1},
    {"RawData_PPM", 1},
    {"GrayScale_PPM", 0},
    {"Dither_PPM", 1},
    {"GrayScale_PFM", 0},
    {"GrayScale_RAW", 0},
    {"Pt_EPS", 0x03010308},
    {"GrayScale_EPS", 0},
    {"CreateThumbnail_EPS", 0},
    {"Dither_WBM", 1},
    {"Dither_OTA", 1},
    {"Format_DDS", 21},
    {"MipMaps_DDS", 1},
    {"Compression_EXR", 0},
    {"Compression_FPX", 2},
    {"QualityJPEG_FPX", 75},
    {"Compression_FLM", 0},
    {"QualityJPEG_FLM", 75},
    {"EmfType_EMF", 5},
    {"iPredictorType_PDF", 1},
    {"PDFFilterType_PDF", 5},
    {"iDestBPC_PDF", 24},
    {"boolEarlyChange_PDF", 1},
    {"iK_PDF", -1},
    {"iDamagedRowsBeforeError_PDF", 0},
    {"boolEndOfLine_PDF", 0},
    {"boolEncodedByteAlign_PDF", 0},
    {"boolEndOfBlock_PDF", 1},
    {"boolBlackIs1_PDF", 0},
    {"iColorTransform_PDF", 0},
    {"password_PDF", 0},
    {"checkPswOpen_PDF", 0},
    {"checkPswPrint_PDF", 0},
    // JPEG XL
    {"Pt_JXL", 0x03010308},
    {"Quality_JXL", 90},
    {"Effort_JXL", 7},
    {"Lossless_JXL", 0},
    {"GrayScale_JXL", 0},
};
static_assert(std::size(kOptions) == kOptionCount, "one definition per option");

// ---- choice lists ----

constexpr Choice kYesNo[] = {{"Yes", 1}, {"No", 0}};

constexpr Choice kD9[] = {{"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"32 (True color, RGB)", 0x43010408},
                          {"24 (True color)", 0x03010308},
                          {"16 (5:5:5:1, RGBA Hi color)", int32_t(0x83010110)},
                          {"16 (5:5:5:1, RGB Hi color)", 0x43010110},
                          {"16 (5:6:5, RGB Hi color)", 0x03010110},
                          {"8 (Indexed)", 0x02010108},
                          {"4 (Indexed)", 0x02010104},
                          {"1 (Indexed)", 0x02010101}};
constexpr Choice kD6[] = {{"32 (True color, RGB)", int32_t(0x83010408)},
                          {"24 (True color)", 0x03010308},
                          {"16 (5:6:5, RGB Hi color)", 0x43010110},
                          {"8 (Indexed)", 0x02010108},
                          {"4 (Indexed)", 0x02010104},
                          {"1 (Indexed)", 0x02010101}};
constexpr Choice kD3[] = {{"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"24 (True color, RGB)", 0x03010308},
                          {"8 (Grayscale)", 0x01010108}};
constexpr Choice kD4[] = {{"24 (True color)", 0x03010308},
                          {"8 (Indexed)", 0x02010108},
                          {"4 (Indexed)", 0x02010104},
                          {"1 (Mono)", 0x01010101}};
constexpr Choice kD15[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                           {"48 (True color, RGB)", 0x03010310},
                           {"32 (True color, RGBA)", int32_t(0x83010408)},
                           {"24 (True color, RGB)", 0x03010308},
                           {"8 (Indexed)", 0x02010108},
                           {"4 (Indexed)", 0x02010104},
                           {"2 (Indexed)", 0x02010102},
                           {"1 (Indexed)", 0x02010101},
                           {"32 (Gray Alpha)", int32_t(0x81010210)},
                           {"16 (Gray Alpha)", int32_t(0x81010208)},
                           {"16 (Grayscale)", 0x01010110},
                           {"8 (Grayscale)", 0x01010108},
                           {"4 (Grayscale)", 0x01010104},
                           {"2 (Grayscale)", 0x01010102},
                           {"1 (Mono)", 0x01010101}};
constexpr Choice kDJ[] = {{"32 (True color, YCbCrA)", 0x07010408},
                          {"24 (True color, YCbCr)", 0x06010308},
                          {"8 (Grayscale)", 0x01010108}};
constexpr Choice kDT[] = {{"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"24 (True color, RGB)", 0x03010308},
                          {"16 (Hi color with transparency)", int32_t(0x83010110)},
                          {"15 (Hi color)", 0x43010110},
                          {"8 (Indexed)", 0x02010108}};
constexpr Choice kDP[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                          {"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"48 (True color, RGB)", 0x03010310},
                          {"24 (True color, RGB)", 0x03010308},
                          {"16 (Grayscale Alpha)", int32_t(0x81010210)},
                          {"8 (Grayscale Alpha)", int32_t(0x81010208)},
                          {"16 (Grayscale)", 0x01010110},
                          {"8 (Grayscale)", 0x01010108},
                          {"1 (Mono)", 0x01010101}};
constexpr Choice kD8[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                          {"48 (True color, RGB)", 0x03010310},
                          {"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"32 (CMYK)", 0x05010408},
                          {"24 (True color, RGB)", 0x03010308},
                          {"8 (Indexed)", 0x02010108},
                          {"4 (Indexed)", 0x02010104},
                          {"1 (Mono)", 0x01010101}};
constexpr Choice kDB[] = {{"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"24 (True color, RGB)", 0x03010308},
                          {"8 (Indexed)", 0x02010108},
                          {"4 (Indexed)", 0x02010104},
                          {"1 (Mono)", 0x01010101}};
constexpr Choice kDE[] = {{"24 (True color, RGB)", 0x03010308}, {"8 (Grayscale)", 0x01010108}};
constexpr Choice kDS[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                          {"48 (True color, RGB)", 0x03010310},
                          {"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"24 (True color, RGB)", 0x03010308}};

constexpr Choice kJpegBaseline[] = {{"32 (True color, YCbCrK)", 0x07010408},
                                    {"24 (True color, YCbCr)", 0x06010308},
                                    {" 8 (Grayscale)", 0x01010108}};
constexpr Choice kJpegExtended[] = {
    {"48 (True color, YCbCrK)", 0x0701040C}, {"32 (True color, YCbCrK)", 0x07010408},
    {"36 (True color, YCbCr)", 0x0601030C},  {"24 (True color, YCbCr)", 0x06010308},
    {"32 (True color, CMYK)", 0x05010408},   {"36 (True color, RGB)", 0x0301030C},
    {"24 (True color, RGB)", 0x03010308},    {"12 (Grayscale)", 0x0101010C},
    {" 8 (Grayscale)", 0x01010108}};
constexpr Choice kJpegLossless[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                                    {"32 (True color, RGBA)", int32_t(0x83010408)},
                                    {"48 (True color, RGB)", 0x03010310},
                                    {"36 (True color, RGB)", 0x0301030C},
                                    {"24 (True color, RGB)", 0x03010308},
                                    {"16 (Grayscale)", 0x01010110},
                                    {"12 (Grayscale)", 0x0101010C},
                                    {" 8 (Grayscale)", 0x01010108}};

constexpr Choice kJpegMode[] = {
    {"Baseline", 192}, {"Extended Sequential", 193}, {"Progressive", 194}, {"Lossless", 195}};
constexpr Choice kSubsample[] = {
    {"1:1:1 (11:11:11)", 0x11111111}, {"4:2:2 (22:21:21)", 0x22212122},
    {"4:2:2 (22:21:12)", 0x22211222}, {"4:2:2 (22:12:21)", 0x22122122},
    {"4:2:2 (22:12:12)", 0x22121222}, {"4:2:1 (22:21:11)", 0x22211122},
    {"4:2:1 (22:12:11)", 0x22121122}, {"4:1:2 (22:11:21)", 0x22112122},
    {"4:1:2 (22:11:12)", 0x22111222}, {"4:4:2 (22:22:21)", 0x22222122},
    {"4:4:2 (22:22:12)", 0x22221222}, {"4:4:1 (22:22:11)", 0x22221122},
    {"4:1:1 (22:11:11)", 0x22111122}, {"2:1:1 (21:11:11)", 0x21111121},
    {"2:1:1 (12:11:11)", 0x12111112}, {"2:2:2 (21:21:21)", 0x21212121}};
// TIFF offers the first, second and thirteenth of them.
constexpr Choice kTiffSubsample[] = {kSubsample[0], kSubsample[1], kSubsample[12]};
constexpr Choice kLosslessPredictor[] = {{"Auto select best predictor", -1},
                                         {"0", 0},
                                         {"1", 1},
                                         {"2", 2},
                                         {"3", 3},
                                         {"4", 4},
                                         {"5", 5},
                                         {"6", 6},
                                         {"7", 7}};
constexpr Choice kTiffCompression[] = {{"NONE", 1},
                                       {"CCITT RLE (T.4)", 2},
                                       {"CCITT RLE word aligned", 32771},
                                       {"CCITT Fax3 (T.4)", 3},
                                       {"CCITT Fax4 (T.6)", 4},
                                       {"LZW", 5},
                                       {"JPEG; rev 6.0", 6},
                                       {"JPEG; rev 6.0+", 7},
                                       {"Packbits", 32773},
                                       {"Flate", 8},
                                       {"JBIG", 34661}};
constexpr Choice kSegmentType[] = {{"Stripped", 0}, {"Tiled", 1}};
constexpr Choice kSegmentNumber[] = {{"Multi strip/tile", 1}, {"Single strip/tile", 0}};
constexpr Choice kFillOrder[] = {{"MSB2LSB", 1}, {"LSB2MSB", 2}};
constexpr Choice kByteOrder[] = {{"Littleendian (Intel)", 1}, {"Bigendian (Mac)", 0}};
constexpr Choice kPhotometricMono[] = {
    {"Leave As Is", 0}, {"To MINISWHITE", 1}, {"To MINISBLACK", 2}};
constexpr Choice kDdsFormat[] = {{"R8G8B8", 20},       {"A8R8G8B8", 21},     {"X8R8G8B8", 22},
                                 {"R5G6B5", 23},       {"X1R5G5B5", 24},     {"A1R5G5B5", 25},
                                 {"A8B8G8R8", 32},     {"X8B8G8R8", 33},     {"L8", 50},
                                 {"A8L8", 51},         {"DXT1", 0x31545844}, {"DXT2", 0x32545844},
                                 {"DXT3", 0x33545844}, {"DXT4", 0x34545844}, {"DXT5", 0x35545844}};
constexpr Choice kExrCompression[] = {
    {"None", 0},  {"RLE", 1}, {"Flate; one scanline at a time", 2},
    {"Flate", 3}, {"PIZ", 4}, {"PXR24", 5}};
constexpr Choice kNoneOrJpeg2[] = {{"NONE", 0}, {"JPEG", 2}};
constexpr Choice kNoneOrJpeg8[] = {{"NONE", 0}, {"JPEG", 8}};
constexpr Choice kEmfType[] = {{"Standard EMF", 3}, {"EMF Plus", 4}, {"EMF Plus dual", 5}};
constexpr Choice kPdfPredictor[] = {{"1", 1},   {"2", 2},   {"10", 10}, {"11", 11},
                                    {"12", 12}, {"13", 13}, {"14", 14}, {"15", 15}};
constexpr Choice kPdfFilter[] = {{"None", 0},     {"ASCIIHex", 1},   {"ASCII85", 2},
                                 {"CCITTFax", 3}, {"DCT (Jpeg)", 4}, {"Flate (Zip)", 5},
                                 {"JBIG2", 6},    {"LZW", 7},        {"RLE", 8}};
constexpr Choice kPdfBits[] = {{"0", 0}, {"1", 1}, {"4", 4}, {"8", 8}, {"24", 24}};
constexpr Choice kPdfK[] = {{"-1", -1}, {"0", 0}, {"1", 1}};

// ---- rows per format ----

constexpr const char* kDepthLabel = "Color depth (bits per pixel)";

constexpr Row Depth(std::span<const Choice> list, Opt option) {
  return {RowKind::kCombobox, kDepthLabel, option, list};
}
constexpr Row YesNo(const char* label, Opt option) {
  return {RowKind::kCombobox, label, option, kYesNo};
}
constexpr Row List(const char* label, Opt option, std::span<const Choice> list) {
  return {RowKind::kCombobox, label, option, list};
}
constexpr Row Spin(const char* label, Opt option, int64_t minimum, int64_t maximum) {
  return {RowKind::kSpin, label, option, {}, minimum, maximum};
}
constexpr Row Gray(Opt option) { return YesNo("Convert to grayscale", option); }
constexpr Row Dither(Opt option) { return YesNo("Use dithering", option); }

constexpr Row kBmpRows[] = {Depth(kD9, kPt_BMP),
                            YesNo("Top-Bottom direction", kTopBottomDirection_BMP),
                            Gray(kGrayScale_BMP), Dither(kDither_BMP)};
constexpr Row kClpRows[] = {Depth(kD9, kPt_CLP), Gray(kGrayScale_CLP), Dither(kDither_CLP)};
constexpr Row kCurRows[] = {Depth(kD6, kPt_CUR), Gray(kGrayScale_CUR), Dither(kDither_CUR),
                            Spin("Hot spot-X", kHotSpotX_CUR, 0, 255),
                            Spin("Hot spot-Y", kHotSpotY_CUR, 0, 255)};
constexpr Row kIcoRows[] = {Depth(kD6, kPt_ICO), Gray(kGrayScale_ICO), Dither(kDither_ICO)};
constexpr Row kGifRows[] = {
    Spin("Colors number", kColors_GIF, 2, 256),
    YesNo("Create global palette", kCreateGlobalPalette_GIF),
    YesNo("Nearby frames interpolation (slower)", kNearbyFramesInterpolation_GIF),
    YesNo("Interlace", kInterlace_GIF),
    Gray(kGrayScale_GIF),
    Dither(kDither_GIF)};
// The first row stands for the depth of the current mode (see JpegDepthRow).
constexpr Row kJpgRows[] = {
    Depth(kJpegBaseline, kPixelType_BaselineProgressive_JPG),
    List("Mode", kMode_JPG, kJpegMode),
    Spin("Quality", kQuality_JPG, 1, 100),
    Gray(kGrayScale_JPG),
    List("Subsample", kSubsample_JPG, kSubsample),
    List("Lossless Predictor", kLosslessPredictor_JPG, kLosslessPredictor),
    Spin("Lossless Point Transform", kLosslessPointTransform_JPG, 0, 15),
    YesNo("Interleaved", kInterleaved_JPG),
    YesNo("Optimize Huffman codes", kOpthuff_JPG),
    Spin("Restart Interval in MCU-Rows", kRestartIntervalInRows_JPG, 0, 65000),
    YesNo("Create thumbnail", kCreateThumbnail_JPG)};
constexpr Row kJp2Rows[] = {Depth(kD3, kPt_JP2), Spin("Quality", kQuality_JP2, 1, 100),
                            Gray(kGrayScale_JP2)};
constexpr Row kPcxRows[] = {Depth(kD4, kPt_PCX), Gray(kGrayScale_PCX), Dither(kDither_PCX)};
constexpr Row kDcxRows[] = {Depth(kD4, kPt_DCX), Gray(kGrayScale_DCX), Dither(kDither_DCX)};
constexpr Row kPngRows[] = {
    Depth(kD15, kPt_PNG), Spin("Compression Level", kCompressionLevel_PNG, 0, 9),
    YesNo("Use Alpha Channel for Indexed Mode", kUseAlphaChannelForIndexed_PNG),
    Gray(kGrayScale_PNG), Dither(kDither_PNG)};
constexpr Row kMngRows[] = {
    Depth(kD15, kPt_MNG), Spin("Compression Level", kCompressionLevel_MNG, 0, 9),
    YesNo("Use Alpha Channel for Indexed Mode", kUseAlphaChannelForIndexed_MNG),
    Gray(kGrayScale_MNG), Dither(kDither_MNG)};
constexpr Row kJngRows[] = {Depth(kDJ, kPt_JNG), Spin("JPEG Quality", kQualityJPEG_JNG, 1, 100),
                            Spin("Compression Level", kCompressionLevel_JNG, 0, 9),
                            Gray(kGrayScale_JNG)};
constexpr Row kTgaRows[] = {Depth(kDT, kPt_TGA), YesNo("Compression RLE", kUseRLE_TGA),
                            Gray(kGrayScale_TGA), Dither(kDither_TGA)};
constexpr Row kPsdRows[] = {Depth(kDS, kPt_PSD), YesNo("RLE compression", kUseRLE_PSD),
                            Gray(kGrayScale_PSD)};
constexpr Row kTifRows[] = {Depth(kD8, kPt_TIF),
                            List("Compression", kCompression_TIF, kTiffCompression),
                            List("Segment type", kTiled_TIF, kSegmentType),
                            List("Segment number", kMultiStrip_TIF, kSegmentNumber),
                            Spin("JPEG Quality", kQualityJPEG_TIF, 1, 100),
                            Spin("DEFLATE Level", kCompressionLevel_TIF, 0, 9),
                            List("JPEG Subsample", kSamplingJPEG_TIF, kTiffSubsample),
                            List("Fill order", kFillOrder_TIF, kFillOrder),
                            List("Byte order", kLittleendian_TIF, kByteOrder),
                            YesNo("Write Big TIFF", kBig_TIF),
                            List("Photometric MONO", kPhotometricMONO_TIF, kPhotometricMono),
                            YesNo("Write LZW/DEFLATE predictor", kPredictor_TIF),
                            YesNo("Create thumbnail", kCreateThumbnail_TIF),
                            Gray(kGrayScale_TIF),
                            Dither(kDither_TIF)};
constexpr Row kJbgRows[] = {Depth(kDB, kPt_JBG), Gray(kGrayScale_JBG), Dither(kDither_JBG)};
constexpr Row kPamRows[] = {Depth(kDP, kPt_PAM), Gray(kGrayscale_PAM), Dither(kDither_PAM)};
constexpr Row kPpmRows[] = {YesNo("Write raw data", kRawData_PPM), Gray(kGrayScale_PPM)};
constexpr Row kPbmRows[] = {YesNo("Write raw data", kRawData_PPM), Dither(kDither_PPM)};
constexpr Row kPgmRows[] = {YesNo("Write raw data", kRawData_PPM)};
constexpr Row kPfmRows[] = {Gray(kGrayScale_PFM)};
constexpr Row kRawRows[] = {Gray(kGrayScale_RAW)};
constexpr Row kEpsRows[] = {Depth(kDE, kPt_EPS), Gray(kGrayScale_EPS),
                            YesNo("Create thumbnail", kCreateThumbnail_EPS)};
constexpr Row kWbmRows[] = {Dither(kDither_WBM)};
constexpr Row kOtaRows[] = {Dither(kDither_OTA)};
constexpr Row kDdsRows[] = {List("Texture Format", kFormat_DDS, kDdsFormat),
                            YesNo("Generate Mip Maps", kMipMaps_DDS)};
constexpr Row kExrRows[] = {List("Compression", kCompression_EXR, kExrCompression)};
constexpr Row kFpxRows[] = {List("Compression", kCompression_FPX, kNoneOrJpeg2),
                            Spin("JPEG Quality", kQualityJPEG_FPX, 1, 100)};
constexpr Row kFlmRows[] = {List("Compression", kCompression_FLM, kNoneOrJpeg8),
                            Spin("JPEG Quality", kQualityJPEG_FLM, 1, 100)};
constexpr Row kEmfRows[] = {List("EMF Type", kEmfType_EMF, kEmfType)};
constexpr Row kPdfRows[] = {
    List("Predictor type", kiPredictorType_PDF, kPdfPredictor),
    List("Filter type", kPDFFilterType_PDF, kPdfFilter),
    List("Destination bits per channel", kiDestBPC_PDF, kPdfBits),
    YesNo("Early change", kboolEarlyChange_PDF),
    List("K", kiK_PDF, kPdfK),
    Spin("Damaged rows before error", kiDamagedRowsBeforeError_PDF, 0, 4294967295),
    YesNo("End of line", kboolEndOfLine_PDF),
    YesNo("Encoded byte align", kboolEncodedByteAlign_PDF),
    YesNo("End of block", kboolEndOfBlock_PDF),
    YesNo("Black is 1", kboolBlackIs1_PDF),
    Spin("Color transform", kiColorTransform_PDF, 0, 4294967295),
    {RowKind::kEdit, "Password", kpassword_PDF, {}},
    YesNo("Check password open", kcheckPswOpen_PDF),
    YesNo("Check password print", kcheckPswPrint_PDF)};
// JPEG XL: 8 or 16 bits per sample, with or without alpha, or grey; the quality is
// unused when lossless.
constexpr Choice kDX[] = {{"64 (True color, RGBA)", int32_t(0x83010410)},
                          {"48 (True color, RGB)", 0x03010310},
                          {"32 (True color, RGBA)", int32_t(0x83010408)},
                          {"24 (True color, RGB)", 0x03010308},
                          {"16 (Grayscale)", 0x01010110},
                          {"8 (Grayscale)", 0x01010108}};
constexpr Row kJxlRows[] = {
    Depth(kDX, kPt_JXL), Spin("Quality", kQuality_JXL, 1, 100), YesNo("Lossless", kLossless_JXL),
    Spin("Effort (1 fastest, 9 smallest)", kEffort_JXL, 1, 9), Gray(kGrayScale_JXL)};

struct FormatRows {
  const char* code;
  std::span<const Row> rows;
};
constexpr FormatRows kFormatRows[] = {
    {"BMP", kBmpRows}, {"CLP", kClpRows}, {"CUR", kCurRows}, {"ICO", kIcoRows}, {"GIF", kGifRows},
    {"JPG", kJpgRows}, {"JP2", kJp2Rows}, {"PCX", kPcxRows}, {"DCX", kDcxRows}, {"PNG", kPngRows},
    {"MNG", kMngRows}, {"JNG", kJngRows}, {"TGA", kTgaRows}, {"PSD", kPsdRows}, {"TIF", kTifRows},
    {"JBG", kJbgRows}, {"PAM", kPamRows}, {"PPM", kPpmRows}, {"PBM", kPbmRows}, {"PGM", kPgmRows},
    {"PFM", kPfmRows}, {"RAW", kRawRows}, {"EPS", kEpsRows}, {"WBM", kWbmRows}, {"OTA", kOtaRows},
    {"DDS", kDdsRows}, {"EXR", kExrRows}, {"FPX", kFpxRows}, {"FLM", kFlmRows}, {"EMF", kEmfRows},
    {"PDF", kPdfRows}, {"JXL", kJxlRows}};

constexpr Row kOnlyCurrentPage = YesNo("Save only current page", kSOnlyCurrentPage);

// The format's code without its padding ("PS " gives "PS").
std::string CodeOf(uint32_t format) { return glib::FormatEntryInfix(format); }

std::span<const Row> RowsOf(const std::string& code) {
  for (const FormatRows& entry : kFormatRows)
    if (code == entry.code) return entry.rows;
  return {};
}

// The JPEG depth row of a mode: its list and the option it edits.
Row JpegDepthRow(int32_t mode) {
  switch (mode) {
    case 193:
      return Depth(kJpegExtended, kPixelType_ExtendedSequential_JPG);
    case 195:
      return Depth(kJpegLossless, kPixelType_Lossless_JPG);
    default:  // baseline and progressive share theirs
      return Depth(kJpegBaseline, kPixelType_BaselineProgressive_JPG);
  }
}

// Every row that edits the option, over all formats and modes.
std::vector<Row> RowsEditing(Opt option) {
  std::vector<Row> found;
  for (const FormatRows& entry : kFormatRows)
    for (const Row& row : entry.rows)
      if (row.option == option) found.push_back(row);
  for (int32_t mode : {192, 193, 195})
    if (Row row = JpegDepthRow(mode); row.option == option) found.push_back(row);
  if (option == kSOnlyCurrentPage) found.push_back(kOnlyCurrentPage);
  return found;
}

bool ParseInteger(std::string_view text, int64_t& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc{} && end == text.data() + text.size();
}

// A record of the class with its constructor defaults for the format; null when out
// of memory.
template <class T>
glib::RecordPtr<ImageSave> NewRecord(uint32_t format) {
  T* made = new (std::nothrow) T;
  if (made) made->format = format;
  return glib::RecordPtr<ImageSave>(made);
}

uint8_t Flag(const Values& values, Opt option) { return values.Get(option) != 0 ? 1 : 0; }
uint32_t U32(const Values& values, Opt option) { return uint32_t(values.Get(option)); }

void FillColour(ImageSave& record, const Values& values, Opt depth, Opt gray, Opt dither) {
  record.pixelType = U32(values, depth);
  if (gray != kOptionCount) record.grayscale = Flag(values, gray);
  if (dither != kOptionCount) record.dither = Flag(values, dither);
}

}  // namespace

std::span<const OptionDef> Options() { return kOptions; }

Opt FindOption(std::string_view name) {
  for (size_t i = 0; i < kOptionCount; ++i)
    if (name == kOptions[i].name) return Opt(i);
  return kOptionCount;
}

Values::Values() {
  for (size_t i = 0; i < kOptionCount; ++i) values_[i] = kOptions[i].defaultValue;
}

void Values::Load(const ProfileStore& store) {
  for (size_t i = 0; i < kOptionCount; ++i) {
    std::string text = store.GetString(kOptions[i].name, "");
    if (text.empty()) continue;
    if (i == kpassword_PDF)
      password_ = std::move(text);
    else
      values_[i] = int32_t(std::atol(text.c_str()));
  }
}

bool Values::Save(ProfileStore& store) const {
  bool ok = true;
  for (size_t i = 0; i < kOptionCount; ++i) {
    std::string text = i == kpassword_PDF ? password_ : std::to_string(values_[i]);
    ok = store.SetString(kOptions[i].name, text) && ok;
  }
  return ok;
}

std::vector<Row> BuildRows(uint32_t format, int32_t pageCount, const Values& values) {
  std::string code = CodeOf(format);
  std::span<const Row> table = RowsOf(code);
  std::vector<Row> rows(table.begin(), table.end());
  if (code == "JPG") rows.front() = JpegDepthRow(values.Get(kMode_JPG));
  if (glib::IsMultiPageFormat(format) && pageCount > 1) rows.push_back(kOnlyCurrentPage);
  return rows;
}

std::string CellText(const Row& row, const Values& values) {
  switch (row.kind) {
    case RowKind::kCombobox:
      for (const Choice& choice : row.choices)
        if (choice.value == values.Get(row.option)) return choice.label;
      return {};
    case RowKind::kSpin:
      return std::to_string(values.Get(row.option));
    case RowKind::kEdit:
      return values.Password();
  }
  return {};
}

std::string SetFromText(Values& values, std::string_view name, std::string_view text) {
  Opt option = FindOption(name);
  if (option == kOptionCount) return "unknown option \"" + std::string(name) + "\"";
  std::vector<Row> rows = RowsEditing(option);
  if (option == kPt_JPG || rows.empty()) {
    // Kept without a row: any number will do.
    int64_t number = 0;
    if (!ParseInteger(text, number)) return "\"" + std::string(text) + "\" is not a number";
    values.Set(option, int32_t(number));
    return {};
  }
  const Row& row = rows.front();
  if (row.kind == RowKind::kEdit) {
    values.SetPassword(std::string(text));
    return {};
  }
  int64_t number = 0;
  bool isNumber = ParseInteger(text, number);
  if (row.kind == RowKind::kSpin) {
    if (!isNumber || number < row.minimum || number > row.maximum)
      return std::string(name) + " takes a number from " + std::to_string(row.minimum) + " to " +
             std::to_string(row.maximum);
    values.Set(option, int32_t(uint32_t(number)));
    return {};
  }
  // A list: a choice's label or value, of any of the lists that edit the option.
  for (const Row& candidate : rows)
    for (const Choice& choice : candidate.choices)
      if (text == choice.label || (isNumber && number == choice.value)) {
        values.Set(option, choice.value);
        return {};
      }
  std::string message = std::string(name) + " takes one of:";
  for (const Choice& choice : row.choices) message += std::string(" \"") + choice.label + "\"";
  return message;
}

glib::RecordPtr<ImageSave> CreateImageSave(uint32_t format, const Values& values,
                                           int32_t currentPage) {
  using namespace glib;
  const Values& v = values;
  const std::string code = CodeOf(format);
  RecordPtr<ImageSave> made;
  // A record of class T for this format; null when out of memory.
  auto make = [&]<class T>(T*& record) {
    record = new (std::nothrow) T;
    made.reset(record);
    if (record) record->format = format;
    return record != nullptr;
  };
  constexpr Opt kNone = kOptionCount;

  if (code == "BMP" || code == "CLP") {
    BMPSave* r;
    if (!make(r)) return nullptr;
    if (code == "CLP")
      FillColour(*r, v, kPt_CLP, kGrayScale_CLP, kDither_CLP);
    else
      FillColour(*r, v, kPt_BMP, kGrayScale_BMP, kDither_BMP);
    r->topBottom = Flag(v, kTopBottomDirection_BMP);
  } else if (code == "CUR") {
    CURSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_CUR, kGrayScale_CUR, kDither_CUR);
    r->hotSpotX = U32(v, kHotSpotX_CUR);
    r->hotSpotY = U32(v, kHotSpotY_CUR);
  } else if (code == "ICO") {
    ICOSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_ICO, kGrayScale_ICO, kDither_ICO);
  } else if (code == "GIF") {
    GIFSave* r;
    if (!make(r)) return nullptr;
    *r->colorCountField = U32(v, kColors_GIF);
    r->createGlobalPalette = Flag(v, kCreateGlobalPalette_GIF);
    r->nearbyFramesInterpolation = Flag(v, kNearbyFramesInterpolation_GIF);
    r->interlace = Flag(v, kInterlace_GIF);
    r->grayscale = Flag(v, kGrayScale_GIF);
    r->dither = Flag(v, kDither_GIF);
  } else if (code == "JPG") {
    JPGSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, JpegDepthRow(v.Get(kMode_JPG)).option, kGrayScale_JPG, kNone);
    r->mode = U32(v, kMode_JPG);
    r->quality = U32(v, kQuality_JPG);
    r->subsample = SubsampleCode(U32(v, kSubsample_JPG));
    r->losslessPredictor = v.Get(kLosslessPredictor_JPG);
    r->losslessPointTransform = U32(v, kLosslessPointTransform_JPG);
    r->interleaved = Flag(v, kInterleaved_JPG);
    r->optimizeHuffman = Flag(v, kOpthuff_JPG);
    r->restartInterval = U32(v, kRestartIntervalInRows_JPG);
    r->createThumbnail = Flag(v, kCreateThumbnail_JPG);
  } else if (code == "JP2") {
    JP2Save* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_JP2, kGrayScale_JP2, kNone);
    r->quality = U32(v, kQuality_JP2);
  } else if (code == "PCX" || code == "DCX") {
    PCXSave* r;
    if (!make(r)) return nullptr;
    if (code == "DCX")
      FillColour(*r, v, kPt_DCX, kGrayScale_DCX, kDither_DCX);
    else
      FillColour(*r, v, kPt_PCX, kGrayScale_PCX, kDither_PCX);
  } else if (code == "PNG" || code == "MNG") {
    XNGSave* r;
    bool png = code == "PNG";
    if (png) {
      PNGSave* p;
      if (!make(p)) return nullptr;
      r = p;
    } else {
      MNGSave* m;
      if (!make(m)) return nullptr;
      r = m;
    }
    FillColour(*r, v, png ? kPt_PNG : kPt_MNG, png ? kGrayScale_PNG : kGrayScale_MNG,
               png ? kDither_PNG : kDither_MNG);
    r->compressionLevel = U32(v, png ? kCompressionLevel_PNG : kCompressionLevel_MNG);
    r->useAlphaForIndexed =
        Flag(v, png ? kUseAlphaChannelForIndexed_PNG : kUseAlphaChannelForIndexed_MNG);
  } else if (code == "JNG") {
    JNGSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_JNG, kGrayScale_JNG, kNone);
    r->jpegQuality = U32(v, kQualityJPEG_JNG);
    r->compressionLevel = U32(v, kCompressionLevel_JNG);
  } else if (code == "TGA") {
    TGASave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_TGA, kGrayScale_TGA, kDither_TGA);
    r->rleCompression = Flag(v, kUseRLE_TGA);
  } else if (code == "PSD") {
    PSDSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_PSD, kGrayScale_PSD, kNone);
    r->rleCompression = Flag(v, kUseRLE_PSD);
  } else if (code == "TIF") {
    TIFSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_TIF, kGrayScale_TIF, kDither_TIF);
    if (r->pixelType == kPixelModel5x8) {  // "32 (CMYK)": RGBA pixels written as CMYK
      r->pixelType = kPixelRGBA32;
      r->cmyk = 5;
    }
    r->compression = U32(v, kCompression_TIF);
    r->tiled = Flag(v, kTiled_TIF);
    r->multiStrip = Flag(v, kMultiStrip_TIF);
    r->jpegQuality = U32(v, kQualityJPEG_TIF);
    r->deflateLevel = U32(v, kCompressionLevel_TIF);
    r->jpegSubsample = SubsampleCode(U32(v, kSamplingJPEG_TIF));
    r->fillOrder = U32(v, kFillOrder_TIF);
    r->littleEndian = Flag(v, kLittleendian_TIF);
    r->bigTiff = Flag(v, kBig_TIF);
    r->photometricMono = U32(v, kPhotometricMONO_TIF);
    r->predictor = Flag(v, kPredictor_TIF);
    r->createThumbnail = Flag(v, kCreateThumbnail_TIF);
  } else if (code == "JBG") {
    JBGSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_JBG, kGrayScale_JBG, kDither_JBG);
  } else if (code == "PAM" || code == "PPM" || code == "PBM" || code == "PGM" || code == "PFM") {
    PNMSave* r;
    if (!make(r)) return nullptr;
    if (code == "PAM") {
      FillColour(*r, v, kPt_PAM, kGrayscale_PAM, kDither_PAM);
    } else if (code == "PFM") {
      r->pixelType = 0x03030320;
      r->grayscale = Flag(v, kGrayScale_PFM);
    } else {
      r->rawData = Flag(v, kRawData_PPM);
      if (code == "PPM") {
        r->pixelType = kPixelRGB24;
        r->grayscale = Flag(v, kGrayScale_PPM);
      } else if (code == "PBM") {
        r->pixelType = kPixelBW1;
        r->dither = Flag(v, kDither_PPM);
      } else {
        r->pixelType = kPixelRGB48;
      }
    }
  } else if (code == "RAW") {
    RAWSave* r;
    if (!make(r)) return nullptr;
    r->grayscale = Flag(v, kGrayScale_RAW);
  } else if (code == "EPS") {
    EPSSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_EPS, kGrayScale_EPS, kNone);
    r->createThumbnail = Flag(v, kCreateThumbnail_EPS);
  } else if (code == "WBM") {
    WBMSave* r;
    if (!make(r)) return nullptr;
    r->dither = Flag(v, kDither_WBM);
  } else if (code == "OTA") {
    OTASave* r;
    if (!make(r)) return nullptr;
    r->dither = Flag(v, kDither_OTA);
  } else if (code == "DDS") {
    DDSSave* r;
    if (!make(r)) return nullptr;
    r->textureFormat = U32(v, kFormat_DDS);
    r->generateMipMaps = Flag(v, kMipMaps_DDS);
  } else if (code == "EXR") {
    EXRSave* r;
    if (!make(r)) return nullptr;
    r->compression = U32(v, kCompression_EXR);
  } else if (code == "FPX") {
    FPXSave* r;
    if (!make(r)) return nullptr;
    r->compression = U32(v, kCompression_FPX);
    r->jpegQuality = U32(v, kQualityJPEG_FPX);
  } else if (code == "FLM") {
    FLMSave* r;
    if (!make(r)) return nullptr;
    r->compression = U32(v, kCompression_FLM);
    r->jpegQuality = U32(v, kQualityJPEG_FLM);
  } else if (code == "WMF" || code == "EMF" || code == "AMF") {
    WMFSave* r;
    if (!make(r)) return nullptr;
    if (code == "EMF") r->emfType = U32(v, kEmfType_EMF);
  } else if (code == "PDF") {
    PDFSave* r;
    if (!make(r)) return nullptr;
    r->predictorType = U32(v, kiPredictorType_PDF);
    r->filterType = U32(v, kPDFFilterType_PDF);
    r->destinationBitsPerChannel = U32(v, kiDestBPC_PDF);
    r->destinationBitsPerChannel2 = U32(v, kiDestBPC_PDF);
    r->earlyChange = Flag(v, kboolEarlyChange_PDF);
    r->k = v.Get(kiK_PDF);
    r->damagedRowsBeforeError = U32(v, kiDamagedRowsBeforeError_PDF);
    r->endOfLine = Flag(v, kboolEndOfLine_PDF);
    r->encodedByteAlign = Flag(v, kboolEncodedByteAlign_PDF);
    r->endOfBlock = Flag(v, kboolEndOfBlock_PDF);
    r->blackIs1 = Flag(v, kboolBlackIs1_PDF);
    r->colorTransform = U32(v, kiColorTransform_PDF);
    std::u16string password = platform::Utf16FromUtf8(v.Password());
    password.resize(std::min<size_t>(password.size(), PDFSave::kMaxPasswordLength));
    std::copy(password.begin(), password.end(), r->password);
    r->passwordLength = uint32_t(password.size());
    // Without a password there is nothing to check.
    if (!password.empty()) {
      r->checkPasswordOpen = U32(v, kcheckPswOpen_PDF);
      r->checkPasswordPrint = U32(v, kcheckPswPrint_PDF);
    }
  } else if (code == "DCM") {
    DCMSave* r;
    if (!make(r)) return nullptr;
    r->pixelType = kPixelRGB24;
  } else if (code == "HDR") {
    HDRSave* r;
    if (!make(r)) return nullptr;
  } else if (code == "SWF") {
    SWFSave* r;
    if (!make(r)) return nullptr;
  } else if (code == "ANI") {
    ANISave* r;
    if (!make(r)) return nullptr;
  } else if (code == "JXL") {
    JXLSave* r;
    if (!make(r)) return nullptr;
    FillColour(*r, v, kPt_JXL, kGrayScale_JXL, kNone);
    r->quality = U32(v, kQuality_JXL);
    r->effort = U32(v, kEffort_JXL);
    r->lossless = uint8_t(v.Get(kLossless_JXL) != 0);
  } else {
    return nullptr;
  }
  if (v.Get(kSOnlyCurrentPage) == 1) {
    made->firstPage = uint32_t(std::max(0, currentPage));
    made->pageCount = 1;
  }
  return made;
}

glib::RecordPtr<ImageSave> DefaultSaveRecord(uint32_t format, uint32_t pagePixelType) {
  using namespace glib;
  const std::string code = CodeOf(format);
  RecordPtr<ImageSave> record;
  if (code == "PNG")
    record = NewRecord<PNGSave>(format);
  else if (code == "JNG")
    record = NewRecord<JNGSave>(format);
  else if (code == "MNG")
    record = NewRecord<MNGSave>(format);
  else if (code == "RAW")
    record = NewRecord<RAWSave>(format);
  else if (code == "PCX" || code == "DCX")
    record = NewRecord<PCXSave>(kFormatPCX);
  else if (code == "JPG")
    record = NewRecord<JPGSave>(format);
  else if (code == "BMP" || code == "CLP")
    record = NewRecord<BMPSave>(kFormatBMP);
  else if (code == "JP2")
    record = NewRecord<JP2Save>(format);
  else if (code == "TGA")
    record = NewRecord<TGASave>(format);
  else if (code == "GIF")
    record = NewRecord<GIFSave>(format);
  else if (code == "TIF")
    record = NewRecord<TIFSave>(format);
  else if (code == "FLM")
    record = NewRecord<FLMSave>(format);
  else if (code == "CUR")
    record = NewRecord<CURSave>(format);
  else if (code == "ICO")
    record = NewRecord<ICOSave>(format);
  else if (code == "ANI")
    record = NewRecord<ANISave>(format);
  else if (code == "WBM")
    record = NewRecord<WBMSave>(format);
  else if (code == "PPM" || code == "PGM" || code == "PFM" || code == "PBM" || code == "PAM")
    record = NewRecord<PNMSave>(format);
  else if (code == "DCM")
    record = NewRecord<DCMSave>(format);
  else if (code == "PSD")
    record = NewRecord<PSDSave>(format);
  else if (code == "JBG")
    record = NewRecord<JBGSave>(format);
  else if (code == "FPX")
    record = NewRecord<FPXSave>(format);
  else if (code == "OTA")
    record = NewRecord<OTASave>(format);
  else if (code == "EXR")
    record = NewRecord<EXRSave>(format);
  else if (code == "DDS")
    record = NewRecord<DDSSave>(format);
  else if (code == "WMF" || code == "AMF" || code == "EMF")
    record = NewRecord<WMFSave>(kFormatEMF);
  else if (code == "JXL")
    record = NewRecord<JXLSave>(format);
  if (!record) return nullptr;
  if (code == "JNG" || code == "JPG" || code == "FPX")
    record->pixelType = kPixelModel6x8;
  else if (pagePixelType == kPixelBW1 || pagePixelType == kPixelIndexed1)
    record->pixelType = kPixelRGBA32;  // one-bit pages are written in full colour
  else
    record->pixelType = pagePixelType;
  return record;
}

}  // namespace host::save
