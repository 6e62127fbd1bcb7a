#include "info/PictureInfo.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>

#include "formats/FormatRegistry.h"
#include "formats/MemStream.h"
#include "formats/Retcode.h"
#include "image/Film.h"
#include "platform/FileFacts.h"
#include "platform/Text.h"
#include "runtime/ExifView.h"
#include "runtime/Iptc.h"

namespace glib {
namespace {

// The time pattern of "Modified".
constexpr char kModifiedPattern[] = "%d.%m.%Y %H:%M";

// Identifiers of the formats with their own items that the registry does not name.
enum : uint32_t {
  kBMA = 0x00424D41,
  kCUT = 0x00435554,
  kFXM = 0x0046584D,
  kG3 = 0x00473320,
  kG4 = 0x00473420,
  kIMG = 0x00494D47,
  kKOA = 0x004B4F41,
  kMAC = 0x004D4143,
  kMSP = 0x004D5350,
  kPIX = 0x00504958,
  kRAS = 0x00524153,
  kRLE = 0x00524C45,
  kSFF = 0x00534646,
  kVIC = 0x00564943,
  kXBM = 0x0058424D,
  kXWD = 0x00585744,
  kICA = 0x10494341,
  kCLP = 0x10434C50,
  kDCX = 0x10444358,
  kICN = 0x0049434E,
  kSGI = 0x00534749,
  kPXR = 0x00505852,
  kIFF = 0x00494646,
  kJB2 = 0x004A4232,
  kPBM = 0x0050424D,
  kPGM = 0x0050474D,
  kPFM = 0x0050464D,
  kPAM = 0x0050414D,
  kPCD = 0x00504344,
  kPCT = 0x00504354,
  kPDB = 0x00504442,
  kPIC = 0x00504943,
  kPVR = 0x00505652,
  kRLA = 0x00524C41,
  kSCT = 0x00534354,
  kWBC = 0x00574243,
  kXPM = 0x0058504D,
  kCAL = 0x0043414C,
  kDCR = 0x00444352,
  kDPX = 0x00445058,
  kAVI = 0x01415649,
  kMPG = 0x014D5047,
  kPSP = 0x20505350,
  kDXF = 0x80445846,
  kCGM = 0x8043474D,
  kHPG = 0x80485047,
  kAMF = 0x88414D46,
  kWPG = 0x80575047,
  kSNP = 0x80534E50,
  // WebP, which the raster plug-in reads: the generic items and its codec's name.
  kWBP = 0x18574250,
  // HEIF/HEIC and AVIF, read by the raster plug-in: likewise.
  kHEI = 0x18484549,
  kAVF = 0x18415646,
  // Bare JPEG 2000 codestreams (JP2's code, a flag byte of their own): as JP2.
  kJ2K = 0x2C4A5032,
};

std::string Formatted(const char* format, va_list args) {
  char buffer[FlmPictureInfo::kValueLimit];
  int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (length < 0) return {};
  return std::string(buffer, std::min(size_t(length), sizeof buffer - 1));
}

std::string Printed(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Formatted(format, args);
  va_end(args);
  return text;
}

std::string ProfileText(const FileInfoRecord& record) {
  std::string space;
  for (int shift = 24; shift >= 0; shift -= 8)
    space += char((record.colorProfileSpace >> shift) & 0xFF);
  return space + "; " + (record.colorProfileText ? record.colorProfileText : "");
}

const char* JpegMode(uint32_t marker, const char** compression) {
  struct Row {
    uint32_t marker;
    const char* mode;
    const char* compression;
  };
  static constexpr Row kRows[] = {
      {192, "Baseline", "DCT & Huffman"},
      {193, "Extended Sequential", "DCT & Huffman"},
      {194, "Progressive", "DCT & Huffman"},
      {195, "Lossless", "Huffman"},
      {197, "Differential Sequential", "DCT & Huffman"},
      {198, "Differential Progressive", "DCT & Huffman"},
      {199, "Differential Lossless", "Huffman"},
      {201, "Extended Sequential Ari", "DCT & Ariphmetic"},
      {202, "Progressive Ari", "DCT & Ariphmetic"},
      {203, "Lossless Ari", "Ariphmetic"},
      {205, "Differential Sequential Ari", "DCT & Ariphmetic"},
      {206, "Differential Progressive Ari", "DCT & Ariphmetic"},
      {207, "Differential Lossless Ari", "Ariphmetic"},
      {247, "LOCO (JPEG-LS)", "LOCO"},
  };
  for (const Row& row : kRows) {
    if (row.marker == marker) {
      *compression = row.compression;
      return row.mode;
    }
  }
  return nullptr;
}

bool IsLosslessJpeg(uint32_t marker) {
  return marker == 195 || marker == 199 || marker == 203 || marker == 207;
}

const char* JpegColorSpace(uint32_t code) {
  switch (code) {
    case 1:
      return "Grayscale";
    case 3:
      return "RGB";
    case 5:
      return "CMYK";
    case 6:
      return "YCbCr";
    case 7:
      return "YCbCrK";
    case 11:
      return "CIE Lab";
    case 131:
      return "RGBA";
    default:
      return "Unknown";
  }
}

const char* TiffPhotometric(const TiffFileInfo& tiff) {
  bool mono = tiff.bitsPerSample <= 1;
  switch (tiff.photometric) {
    case 0:
      return mono ? "MONO (WHITE IS ZERO)" : "GRAY (WHITE IS ZERO)";
    case 1:
      return mono ? "MONO (BLACK IS ZERO)" : "GRAY (BLACK IS ZERO)";
    case 2:
      return "RGB";
    case 3:
      return "INDEXED";
    case 4:
      return "MASK";
    case 5:
      if (!tiff.hasDotRange) return "SEPARATED";
      return tiff.samplesPerPixel < 4 ? "CMY" : "CMYK";
    case 6:
      return "YCbCr";
    case 8:
      return "CIELab";
    case 9:
      return "ICCLab";
    case 10:
      return "ITULab";
    case 32803:
      return "CFA";
    case 32844:
      return "LOGL";
    case 32845:
      return "LOGLUV";
    case 34892:
      return "Linear Raw";
    default:
      return nullptr;
  }
}

const char* PickName(int32_t value, std::initializer_list<const char*> names, int32_t first = 0) {
  int32_t index = value - first;
  if (index < 0 || size_t(index) >= names.size()) return "";
  return names.begin()[index];
}

const char* BmpBitMask(uint32_t pixelType) {
  switch (pixelType) {
    case 0x03010110:
      return "RGB 5:6:5";
    case 0x83010110:
      return "RGBA 5:5:5:1";
    case 0x83010404:
      return "RGBA 4:4:4:4";
    case 0x43010110:
      return "RGB 5:5:5:1";
    default:
      return "";
  }
}

// The items of one format's table row, in order.
class FormatItems {
 public:
  FormatItems(FlmPictureInfo& info, const FileInfoRecord& record) : info_(info), r_(record) {}

  void Dimension() {
    if (r_.resolutionX > 0 && r_.resolutionY > 0) {
      info_.AddItem("Dimension", "%d x %d pixels (%.2f x %.2f inches)", r_.width, r_.height,
                    r_.width / double(r_.resolutionX), r_.height / double(r_.resolutionY));
    } else {
      Plain();
    }
  }
  void Plain() { info_.AddItem("Dimension", "%d x %d pixels", r_.width, r_.height); }
  void Inches() {
    info_.AddItem("Dimension", "%.2f x %.2f inches", double(r_.widthInches),
                  double(r_.heightInches));
  }
  void Depth() {
    if (r_.bitsPerPixel > 0) info_.AddItem("Color depth", "%d bpp", r_.bitsPerPixel);
  }
  void Density() {
    if (r_.resolutionX > 0 || r_.resolutionY > 0)
      info_.AddItem("Density", "%.0f x %.0f dpi", double(r_.resolutionX), double(r_.resolutionY));
  }
  void Pages() {
    if (r_.pageCount != 0xFFFFFFFF) info_.AddItem("Pages", "%d", int32_t(r_.pageCount));
  }
  void Generic() {
    Dimension();
    Depth();
    Density();
    Pages();
  }
  void Text(const char* name, InfoText which, bool cut = false) {
    const char* text = r_.Text(which);
    if (!text || !*text) return;
    std::string_view value(text);
    if (cut && value.size() > FlmPictureInfo::kCommentLimit)
      value = value.substr(0, FlmPictureInfo::kCommentLimit);
    info_.AddText(name, value);
  }
  void Profile() {
    if (r_.hasColorProfile) info_.AddText("Embedded Color Profile", ProfileText(r_));
  }
  void Version(const char* name) {
    if (r_.versionMajor >= 0) info_.AddItem(name, "%d", r_.versionMajor);
  }
  void Pairs(int icon, const char* title) {
    info_.AddGroup(icon, title);
    for (uint32_t i = 0; r_.pairs && i + 1 < r_.pairCount * 2; i += 2) {
      if (r_.pairs[i] && r_.pairs[i + 1]) info_.AddText(r_.pairs[i], r_.pairs[i + 1]);
    }
  }
  void SourceFile() {
    if (r_.sourceFileCount > 0 && r_.sourceFiles && r_.sourceFiles[0] &&
        std::string_view(r_.sourceFiles[0]).size() > 1)
      info_.AddText("Source Filename", r_.sourceFiles[0]);
  }

  void Jpeg();
  void Tiff();
  void Png();

 private:
  FlmPictureInfo& info_;
  const FileInfoRecord& r_;
};

void FormatItems::Jpeg() {
  Dimension();
  Depth();
  Density();
  Text("Comment", kInfoComment, true);
  const JpegFileInfo& j = r_.jpeg;
  info_.AddGroup(kGroupJpeg, "JPEG");
  const char* compression = nullptr;
  const char* mode = JpegMode(j.frameMarker, &compression);
  if (mode) info_.AddText("Mode", mode);
  if (j.bitsPerSample) info_.AddItem("Bits per sample", "%u", j.bitsPerSample);
  if (j.components) info_.AddItem("Samples per pixel", "%u", j.components);
  std::string sampling = JpegSubsamplingText(j.sampling, j.components);
  if (!sampling.empty()) info_.AddText("Subsampling", sampling);
  if (j.components > 1) info_.AddText("Interleaved", j.interleaved ? "Yes" : "No");
  info_.AddText("Color space", JpegColorSpace(j.colorSpace));
  Profile();
  if (j.restartInterval) {
    if (IsLosslessJpeg(j.frameMarker) && r_.width > 0) {
      info_.AddItem("Restart Interval", "%d row(s)",
                    int32_t(j.restartInterval / uint32_t(r_.width)));
    } else {
      info_.AddItem("Restart Interval", "%d MCU(s)", int32_t(j.restartInterval));
    }
  }
  if (IsLosslessJpeg(j.frameMarker)) {
    info_.AddItem("Lossless Predictor", "%d", j.losslessPredictor);
    info_.AddItem("Lossless Point Transform", "%d", j.losslessPointTransform);
  }
  if (compression) info_.AddText("Compression", compression);
}

void FormatItems::Tiff() {
  Generic();
  const TiffFileInfo& t = r_.tiff;
  info_.AddGroup(kGroupTiff, "TIFF");
  info_.AddText("Byte order", r_.bigEndian ? "bigendian" : "littleendian");
  info_.AddItem("Bits per sample", "%u", t.bitsPerSample);
  info_.AddItem("Samples per pixel", "%u", t.samplesPerPixel);
  if (const char* photometric = TiffPhotometric(t)) {
    info_.AddText("Photometric", photometric);
    if (t.photometric == 6 && t.ycbcrSubsampling[0] >= 1)
      info_.AddItem("Subsampling", "%d:%d", t.ycbcrSubsampling[0], t.ycbcrSubsampling[1]);
  }
  info_.AddText("Segmentation", PickName(t.segmentation, {"Striped", "Single-Striped", "Tiled"}));
  if (t.extraSamples >= 0)
    info_.AddText(
        "Extra samples",
        PickName(t.extraSamples, {"unspecified alpha", "associated alpha", "unassociated alpha"}));
  if (t.orientation != 0)
    info_.AddText("Orientation", PickName(t.orientation,
                                          {"top-left", "top-right", "bottom-right", "bottom-left",
                                           "left-top", "right-top", "right-bottom", "left-bottom"},
                                          1));
  info_.AddText("Planar config", t.planarConfig == 1 ? "contig" : "separate");
  info_.AddText("Fill order", t.fillOrder == 1 ? "MSB2LSB" : "LSB2MSB");
  if (t.dotRange[0] != 0 || t.dotRange[1] != 0)
    info_.AddItem("Dot range", "%d, %d", int32_t(t.dotRange[0]), int32_t(t.dotRange[1]));
  Text("Date time", kInfoDate);
  Text("Description", kInfoDescription);
  Text("Make", kInfoMake);
  Text("Model", kInfoModel);
  Text("Software", kInfoSoftware);
  Text("Artist", kInfoArtist);
  Text("Copyright", kInfoCopyright);
  Text("Document name", kInfoDocumentName);
  Text("Page name", kInfoPageName);
  if (t.pageNumber >= 0) info_.AddItem("Page number", "%d of %d", t.pageNumber + 1, t.pageTotal);
  Profile();
  Text("DNG version", kInfoDngVersion);
  Text("DNG backward version", kInfoDngBackwardVersion);
  Text("DNG unique model", kInfoDngUniqueModel);
  Text("CFA pattern", kInfoCfaPattern);
  Text("CFA plane color", kInfoCfaPlaneColor);
  if (t.compressedBitsPerPixel != 0)
    info_.AddItem("Compressed bits per pixel", "%g", double(t.compressedBitsPerPixel));
}

void FormatItems::Png() {
  Dimension();
  Depth();
  Density();
  Pairs(kGroupPng, "PNG");
  if (r_.gamma != -1.0f) info_.AddItem("Gamma", "%g", double(r_.gamma));
  info_.AddText("Interlaced", r_.interlaced ? "Yes" : "No");
  if (r_.hasLastModified) {
#if defined(_WIN32)
    const char* pattern = "%#c";  // the long date form of the Windows C library
#else
    const char* pattern = "%c";
#endif
    info_.AddText("Last Modified", platform::FormatTime(r_.lastModified, pattern, true));
  }
}

}  // namespace

std::string FileSizeText(uint64_t size) {
  if (size < 1024) return Printed("%" PRIu64 " bytes", size);
  if (size <= (uint64_t(1) << 20))
    return Printed("%u KB (%" PRIu64 " bytes)", unsigned(std::trunc(size / 1024.0 + 0.5)), size);
  if (size <= (uint64_t(1) << 30))
    return Printed("%.2f MB (%" PRIu64 " bytes)", size / 1048576.0, size);
  return Printed("%.2f GB (%" PRIu64 " bytes)", size / 1073741824.0, size);
}

const char* GeneralCompressionName(int32_t code) {
  static constexpr const char* kNames[] = {"None",
                                           "RLE",
                                           "LZW",
                                           "Flate",
                                           "CCITT MH-RLE",
                                           "CCITT Group3 (T.4)",
                                           "CCITT Group4 (T.6)",
                                           "IBM MMR",
                                           "JPEG",
                                           "JPEG-2000",
                                           "Huffman",
                                           "ISO JBIG",
                                           "MS .CAB",
                                           "RADC",
                                           "DXT1",
                                           "DXT2",
                                           "DXT3",
                                           "DXT4",
                                           "DXT5"};
  if (code < 0 || size_t(code) >= std::size(kNames)) return "None";
  return kNames[code];
}

std::string TiffCompressionName(int32_t value) {
  struct Row {
    int32_t value;
    const char* name;
  };
  static constexpr Row kRows[] = {
      {1, "None"},
      {2, "CCITT MH-RLE"},
      {3, "CCITT Group3 (T.4/MR)"},
      {4, "CCITT Group4 (T.6/MMR)"},
      {5, "LZW"},
      {6, "JPEG (rev.6)"},
      {7, "JPEG"},
      {8, "Flate"},
      {9, "TIFF-FX JBIG"},
      {10, "TIFF-FX COLOR JBIG"},
      {32766, "NeXT 2-bit RLE"},
      {32771, "CCITT MH-RLE w/word aligned rows"},
      {32773, "RLE (Packbits)"},
      {32809, "ThunderScan RLE"},
      {32867, "Kodak RADC"},
      {32895, "IT8 CT w/padding"},
      {32896, "IT8 Linework RLE"},
      {32897, "IT8 Monochrome picture"},
      {32898, "IT8 Binary line art"},
      {32908, "Pixar companded 10bit LZW"},
      {32909, "Pixar companded 11bit ZIP"},
      {32946, "Flate"},
      {32947, "Kodak DCS"},
      {34661, "ISO JBIG"},
      {34676, "SGI Log Luminance RLE"},
      {34677, "SGI Log 24-bit packed"},
      {34712, "JPEG-2000"},
      {34713, "NikonCCD"},
      {34715, "JBIG2"},
      {65000, "KodakCCD"},
  };
  for (const Row& row : kRows)
    if (row.value == value) return row.name;
  return Printed("#%d", value);
}

std::string JpegSubsamplingText(const uint8_t* sampling, uint32_t components) {
  components = std::min<uint32_t>(components, 4);
  std::string products, factors;
  for (uint32_t i = 0; i < components; ++i) {
    int h = sampling[i] >> 4, v = sampling[i] & 15;
    if (i) {
      products += ':';
      factors += ':';
    }
    products += std::to_string(h * v);
    factors += std::to_string(h) + std::to_string(v);
  }
  if (products.empty()) return {};
  std::string text = products + " (" + factors + ")";
  return text.substr(0, 32);
}

FlmPictureInfo::~FlmPictureInfo() { platform::ReleaseIcon(icon_); }

void FlmPictureInfo::Clear() {
  names_.clear();
  values_.clear();
  platform::ReleaseIcon(icon_);
  icon_ = nullptr;
}

void FlmPictureInfo::AddGroup(int icon, std::string_view title) {
  names_.push_back("[" + std::string(title) + "]");
  values_.push_back(std::to_string(icon));
}

void FlmPictureInfo::AddItem(std::string_view name, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string value = Formatted(format, args);
  va_end(args);
  names_.emplace_back(name);
  values_.push_back(std::move(value));
}

void FlmPictureInfo::AddText(std::string_view name, std::string_view value) {
  names_.emplace_back(name);
  values_.emplace_back(value.substr(0, kValueLimit - 1));
}

void FlmPictureInfo::AddItemW(std::u16string_view name, std::u16string_view value) {
  AddText(platform::Utf8FromUtf16(name), platform::Utf8FromUtf16(value));
}

void FlmPictureInfo::AddFileSize(uint64_t size) { AddText("File size", FileSizeText(size)); }

void FlmPictureInfo::AddModified(int64_t time) {
  AddText("Modified", platform::FormatTime(time, kModifiedPattern));
}

bool FlmPictureInfo::BuildForPath(std::u16string_view path, Film* film, bool fileOnly,
                                  FileInfoRecord** out, ERetcode* why) {
  Clear();
  if (out) *out = nullptr;
  if (why) *why = NSUP;
  bool built = false;
  if (!fileOnly) {
    std::unique_ptr<Film> temporary;
    if (!film) {
      temporary = std::make_unique<Film>();
      film = temporary.get();
    }
    std::u16string name(path);
    FileInfoRecord* record = nullptr;
    ERetcode rc = film->GetFileInfoW(name.c_str(), &record, kFormatNone);
    std::unique_ptr<FileInfoRecord, FileInfoRecordDeleter> owned(record);
    if (why) *why = rc == RCOK && !record ? NSUP : rc;
    if (rc == RCOK && record) {
      BuildFromRecord(*record, path);
      built = true;
      if (out) *out = owned.release();
    }
  }
  if (!built) {
    built = BuildFileSystemInfo(path);
    Refresh();
  }
  return built;
}

bool FlmPictureInfo::BuildFileSystemInfo(std::u16string_view path) {
  std::optional<platform::FileFacts> facts = platform::QueryFileFacts(path, true);
  if (!facts) return false;
  icon_ = facts->icon;
  if (facts->folder) {
    AddGroup(kGroupFolder, "Folder Info");
    AddText("Type", facts->typeName);
    AddItemW(u"Path", path);
  } else {
    AddGroup(kGroupFile, "File Info");
    AddText("File type", facts->typeName);
    AddFileSize(facts->size);
  }
  AddModified(facts->modified);
  return true;
}

void FlmPictureInfo::BuildFromRecord(const FileInfoRecord& record, std::u16string_view path) {
  Clear();
  AddGroup(kGroupCommon, "Common Info");
  if (!path.empty()) AddItemW(u"File path", path);
  AddText("File type", record.typeText ? record.typeText : "Unknown");
  AddFileSize(record.fileSize);
  AddModified(record.modified);
  AddFormatItems(record);
  AddCompression(record);
  AddMetadata(record);
  Refresh();
}

void FlmPictureInfo::AddCompression(const FileInfoRecord& record) {
  if (record.format == kFormatJPG || record.compression == -1) return;
  if (record.format == kFormatTIF) {
    AddText("Compression", TiffCompressionName(record.compression));
  } else {
    AddText("Compression", GeneralCompressionName(record.compression));
  }
}

void FlmPictureInfo::AddFormatItems(const FileInfoRecord& r) {
  FormatItems items(*this, r);
  switch (r.format) {
    case kBMA:
    case kCUT:
    case kFXM:
    case kG3:
    case kG4:
    case kIMG:
    case kKOA:
    case kMAC:
    case kMSP:
    case kFormatOTA:
    case kPIX:
    case kRAS:
    case kRLE:
    case kSFF:
    case kVIC:
    case kFormatWBM:
    case kXBM:
    case kXWD:
    case kICA:
    case kFormatJP2:
    case kJ2K:
    case kDCX:
      items.Generic();
      break;
    case kHEI:
    case kAVF:
    case kWBP:
      items.Generic();
      items.Text("Compression", kInfoCompression);
      break;
    case kFormatPCX:
    case kCLP:
      items.Dimension();
      items.Depth();
      if (r.format == kFormatPCX || r.width != 0) items.Density();
      if (r.format == kCLP) items.Pages();
      break;
    case kFormatHDR:
      items.Dimension();
      items.Depth();
      items.Text("Comment", kInfoComment);
      break;
    case kICN:
    case kSGI:
    case kPXR:
      items.Dimension();
      items.Depth();
      break;
    case kIFF:
      items.Dimension();
      items.Depth();
      items.Text("Annotation", kInfoAnnotation);
      items.Text("Author", kInfoAuthor);
      items.Text("Date", kInfoDate);
      items.Pages();
      break;
    case kJB2:
      items.Plain();
      items.Depth();
      items.Pages();
      break;
    case kPBM:
    case kPGM:
    case kFormatPPM:
    case kPFM:
      items.Plain();
      items.Depth();
      AddText("Color type", r.kind == 0 ? "Monochrome" : r.kind == 1 ? "Gray" : "Color");
      items.Text("Comment", kInfoComment);
      break;
    case kPAM:
      items.Plain();
      items.Text("Image type", kInfoImageType);
      items.Text("Comment", kInfoComment);
      break;
    case kPCD:
      AddItem("Max size", "%d x %d pixels", r.width, r.height);
      items.Depth();
      AddText("Color space", r.kind == 0   ? "grayscale"
                             : r.kind == 1 ? "RGB"
                             : r.kind == 2 ? "PhotoYCC"
                                           : "8-bit palette");
      break;
    case kPCT:
      items.Plain();
      items.Depth();
      break;
    case kPDB:
      items.Dimension();
      items.Depth();
      items.SourceFile();
      break;
    case kPIC:
      items.Dimension();
      items.Depth();
      if (r.sequence) {
        items.Pages();
      } else {
        AddItem("Version", "%g", double(r.versionNumber));
        items.Text("Comment", kInfoComment);
      }
      break;
    case kPVR:
      items.Plain();
      items.Depth();
      items.Text("Data Format", kInfoDataFormat);
      items.Text("Pixel Format", kInfoPixelFormat);
      break;
    case kRLA:
      items.Plain();
      items.Depth();
      items.Text("Color space", kInfoColorSpace);
      break;
    case kSCT:
      items.Plain();
      items.Depth();
      items.Density();
      AddText("Colorspace", r.kind == 7 ? "RGB" : r.kind == 8 ? "Grayscale" : "CMYK");
      items.Text("Comment", kInfoComment);
      break;
    case kWBC:
      items.Dimension();
      items.Text("Title", kInfoTitle);
      items.Pages();
      items.Text("Comment", kInfoComment, true);
      items.SourceFile();
      break;
    case kXPM:
      items.Plain();
      items.Depth();
      AddItem("Colors", "%d", r.count);
      break;
    case kCAL:
      items.Dimension();
      AddItem("Type", "%d", r.kind);
      items.Density();
      items.Pages();
      items.Text("Notes", kInfoNotes);
      break;
    case kDCR:
      items.Plain();
      items.Depth();
      items.Text("Version", kInfoVersion);
      items.Text("Maker", kInfoMake);
      items.Text("Model", kInfoModel);
      items.Text("Date time", kInfoDate);
      break;
    case kFormatDDS:
      items.Dimension();
      AddItem("Depth", "%d", r.depth);
      AddItem("Mipmap Count", "%d", r.count);
      items.Text("Format", kInfoFormatName);
      items.Pages();
      break;
    case kFormatEXR:
      items.Dimension();
      AddItem("Version", "%d", r.versionMajor);
      items.Text("Compression", kInfoCompression);
      items.Text("Comments", kInfoComment);
      items.Text("Owner", kInfoOwner);
      break;
    case kDPX:
      items.Plain();
      items.Depth();
      AddText("Byte order", r.bigEndian ? "bigendian" : "littleendian");
      items.Text("Format", kInfoFormatName);
      items.Text("Version", kInfoVersion);
      items.Text("Create Time", kInfoCreated);
      items.Text("Creator", kInfoCreator);
      items.Text("Project", kInfoProject);
      items.Text("Copyright", kInfoCopyright);
      break;
    case kFormatFPX:
      items.Plain();
      items.Depth();
      items.Text("Title", kInfoTitle);
      items.Text("Comments", kInfoComment);
      items.Text("Creating application", kInfoSoftware);
      break;
    case kAVI:
    case kMPG:
      items.Plain();
      items.Pages();
      break;
    case kFormatDCM:
      items.Plain();
      items.Depth();
      items.Density();
      items.Pages();
      AddText("Planar", r.planarSeparate ? "Separate" : "Contig");
      items.Text("Photometric", kInfoPhotometric);
      AddText("Byte order", r.bigEndian ? "bigendian" : "littleendian");
      AddText("Compression", GeneralCompressionName(r.compression));
      items.Pairs(kGroupMetadata, "Metadata Info");
      break;
    case kFormatPSD:
      items.Dimension();
      items.Depth();
      items.Density();
      AddText("Color mode", PickName(r.kind, {"Bitmap", "Grayscale", "Indexed", "RGB", "CMYK", "",
                                              "", "Multichannel", "Duotone", "Lab"}));
      items.Profile();
      items.Text("Writer", kInfoSoftware);
      break;
    case kFormatJBG:
      items.Plain();
      items.Depth();
      AddItem("Resolutions", "%d", r.count);
      break;
    case kFormatJPG:
      items.Jpeg();
      break;
    case kPSP:
      items.Dimension();
      items.Depth();
      items.Density();
      AddItem("Version", "%d.%d", r.versionMajor, r.versionMinor);
      break;
    case kFormatTGA:
      items.Plain();
      items.Depth();
      items.Text("Comment", kInfoComment);
      break;
    case kFormatBMP: {
      items.Dimension();
      items.Depth();
      items.Density();
      if (r.versionMajor != 3)
        AddText("Version", PickName(r.versionMajor, {"Win2", "OS/2", "", "4", "5"}, 1));
      if (r.pixelType != kPixelNone) AddText("Bit mask", BmpBitMask(r.pixelType));
      break;
    }
    case kFormatCUR:
      items.Dimension();
      items.Depth();
      AddItem("Hot Spot", "%d x %d", r.hotSpotX, r.hotSpotY);
      items.Pages();
      break;
    case kFormatICO:
    case kFormatANI:
      items.Dimension();
      items.Depth();
      items.Pages();
      break;
    case kFormatPNG:
      items.Png();
      break;
    case kFormatMNG: {
      items.Dimension();
      items.Depth();
      items.Pages();
      items.Density();
      items.Pairs(kGroupMng, "MNG");
      // The simplicity profile: bit 0 says it is valid, bit 1 that simple MNG
      // features may occur, bit 2 that complex ones may.
      uint32_t flags = r.profileFlags;
      const char* profile = "Unspecified";
      if (flags & 1)
        profile = (flags & 4)   ? "Complexity"
                  : (flags & 2) ? "Low Complexity"
                                : "Very Low Complexity";
      AddText("Simplicity Profile", profile);
      break;
    }
    case kFormatJNG:
      items.Dimension();
      items.Depth();
      items.Density();
      items.Pairs(kGroupJng, "JNG");
      break;
    case kFormatRAW: {
      const RawFileInfo& raw = r.raw;
      items.Plain();
      AddItem("Header size", "%u", raw.headerSize);
      std::string space;
      if (raw.channels == 1) {
        space = "GRAY";
      } else if (raw.channels == 2 && !raw.channelOrder[0]) {
        space = "GRAY ALPHA";
      } else {
        for (char c : raw.channelOrder)
          if (c) space += c;
      }
      AddText("Color space", space);
      AddItem("Samples per pixel", "%u", raw.channels);
      AddItem("Bits per sample", "%u", raw.bitsPerSample);
      AddItem("Line gap", "%u", raw.lineGap);
      AddText("Interleave order", raw.interleaved ? "YES" : "NO");
      AddText("Byte order", raw.littleEndian ? "littleendian" : "bigendian");
      break;
    }
    case kFormatFLM:
      items.Plain();
      items.Pages();
      AddItem("Version", "%01X.%01X", unsigned(r.versionMajor) & 15, unsigned(r.versionMinor) & 15);
      items.Text("Created", kInfoCreated);
      break;
    case kFormatGIF:
      items.Plain();
      items.Depth();
      items.Pages();
      items.Text("Comment", kInfoComment);
      break;
    case kFormatTIF:
      items.Tiff();
      break;
    case kDXF:
      items.Text("Format version", kInfoFormatName);
      break;
    case kCGM:
      AddItem("Version", "%d", r.versionMajor);
      items.Text("Description", kInfoDescription);
      break;
    case kHPG:
    case kAMF:
      items.Inches();
      break;
    case kWPG:
      items.Inches();
      AddItem("File version", "%d.%d", r.versionMajor, r.versionMinor);
      break;
    case kSNP:
      items.Pages();
      break;
    case kFormatEMF:
      items.Inches();
      AddText("Type", r.kind == 4 ? "EMF+" : r.kind == 5 ? "EMF+ dual" : "Windows EMF");
      items.Text("Description", kInfoDescription);
      break;
    case kFormatEPS:
    case kFormatPDF:
      items.Pages();
      items.Inches();
      break;
    case kFormatSWF:
      items.Plain();
      AddItem("Version", "%d", r.versionMajor);
      items.Pages();
      break;
    default:
      break;
  }
}

void FlmPictureInfo::AddMetadata(const FileInfoRecord& record) {
  if (record.exif && record.exifSize) {
    Libtiff::EXIFView view(detailed_);
    if (view.BuildView(record.exif, record.exifSize) && !view.IsEmpty()) {
      AddGroup(kGroupExif, "EXIF");
      for (uint32_t i = 0; i < view.GetSize(); ++i) AddText(view.GetName(i), view.GetValue(i));
    }
  }
  if (record.iptc && record.iptcSize) {
    VMemStream stream(const_cast<uint8_t*>(record.iptc), record.iptcSize);
    Libiptc::IPTC iptc;
    if (iptc.LoadFromStream(&stream) == RCOK) {
      AddGroup(kGroupIptc, "IPTC");
      // Repeated datasets (keywords, categories, contacts) each keep their row: the
      // list merges items of the same name, so the second is "Keywords (2)".
      std::map<std::string, int> seen;
      std::string name, value;
      for (uint32_t i = 0; i < iptc.GetSize(); ++i) {
        if (!iptc.GetPrintableItem(i, name, value)) continue;
        int count = ++seen[name];
        AddText(count == 1 ? name : name + " (" + std::to_string(count) + ")", value);
      }
    }
  }
}

}  // namespace glib
