// The tags an EXIF block may hold, with their names and the way their values are
// shown. One table per numbering: IFD0, IFD1 and the EXIF directory share the TIFF
// numbering; GPS and interoperability directories count from 0 and 1 of their own.
#include <algorithm>
#include <iterator>

#include "runtime/ExifView.h"

namespace glib::Libtiff::exif {

namespace {

using F = Format;

constexpr EnumValue kOrientation[] = {
    {1, "Horizontal (normal)"},
    {2, "Mirror horizontal"},
    {3, "Rotate 180"},
    {4, "Mirror vertical"},
    {5, "Mirror horizontal and rotate 270 CW"},
    {6, "Rotate 90 CW"},
    {7, "Mirror horizontal and rotate 90 CW"},
    {8, "Rotate 270 CW"},
};
constexpr EnumValue kResolutionUnit[] = {{1, "None"}, {2, "inches"}, {3, "cm"}};
constexpr EnumValue kYCbCrPositioning[] = {{1, "Centered"}, {2, "Co-sited"}};
constexpr EnumValue kCompression[] = {
    {1, "Uncompressed"}, {2, "CCITT 1D"},         {3, "T4/Group 3 Fax"}, {4, "T6/Group 4 Fax"},
    {5, "LZW"},          {6, "JPEG (old-style)"}, {7, "JPEG"},           {8, "Adobe Deflate"},
    {32773, "PackBits"}, {32946, "Deflate"},      {34712, "JPEG 2000"},  {34892, "Lossy JPEG"},
};
constexpr EnumValue kPhotometric[] = {
    {0, "WhiteIsZero"},
    {1, "BlackIsZero"},
    {2, "RGB"},
    {3, "RGB Palette"},
    {4, "Transparency Mask"},
    {5, "CMYK"},
    {6, "YCbCr"},
    {8, "CIELab"},
    {32803, "Color Filter Array"},
    {34892, "Linear Raw"},
};
constexpr EnumValue kFillOrder[] = {{1, "Normal"}, {2, "Reversed"}};
constexpr EnumValue kPlanar[] = {{1, "Chunky"}, {2, "Planar"}};
constexpr EnumValue kExposureProgram[] = {
    {0, "Not Defined"},
    {1, "Manual"},
    {2, "Program AE"},
    {3, "Aperture-priority AE"},
    {4, "Shutter speed priority AE"},
    {5, "Creative (Slow speed)"},
    {6, "Action (High speed)"},
    {7, "Portrait"},
    {8, "Landscape"},
};
constexpr EnumValue kSensitivityType[] = {
    {0, "Unknown"},
    {1, "Standard Output Sensitivity"},
    {2, "Recommended Exposure Index"},
    {3, "ISO Speed"},
    {4, "Standard Output Sensitivity and Recommended Exposure Index"},
    {5, "Standard Output Sensitivity and ISO Speed"},
    {6, "Recommended Exposure Index and ISO Speed"},
    {7, "Standard Output Sensitivity, Recommended Exposure Index and ISO Speed"},
};
constexpr EnumValue kMeteringMode[] = {
    {0, "Unknown"}, {1, "Average"},    {2, "Center-weighted average"},
    {3, "Spot"},    {4, "Multi-spot"}, {5, "Multi-segment"},
    {6, "Partial"}, {255, "Other"},
};
constexpr EnumValue kLightSource[] = {
    {0, "Unknown"},
    {1, "Daylight"},
    {2, "Fluorescent"},
    {3, "Tungsten (Incandescent)"},
    {4, "Flash"},
    {9, "Fine Weather"},
    {10, "Cloudy"},
    {11, "Shade"},
    {12, "Daylight Fluorescent"},
    {13, "Day White Fluorescent"},
    {14, "Cool White Fluorescent"},
    {15, "White Fluorescent"},
    {16, "Warm White Fluorescent"},
    {17, "Standard Light A"},
    {18, "Standard Light B"},
    {19, "Standard Light C"},
    {20, "D55"},
    {21, "D65"},
    {22, "D75"},
    {23, "D50"},
    {24, "ISO Studio Tungsten"},
    {255, "Other"},
};
constexpr EnumValue kColorSpace[] = {{1, "sRGB"}, {2, "Adobe RGB"}, {0xFFFF, "Uncalibrated"}};
constexpr EnumValue kSensingMethod[] = {
    {1, "Not defined"},
    {2, "One-chip color area"},
    {3, "Two-chip color area"},
    {4, "Three-chip color area"},
    {5, "Color sequential area"},
    {7, "Trilinear"},
    {8, "Color sequential linear"},
};
constexpr EnumValue kFileSource[] = {
    {1, "Film Scanner"}, {2, "Reflection Print Scanner"}, {3, "Digital Camera"}};
constexpr EnumValue kSceneType[] = {{1, "Directly photographed"}};
constexpr EnumValue kCustomRendered[] = {{0, "Normal"}, {1, "Custom"}};
constexpr EnumValue kExposureMode[] = {{0, "Auto"}, {1, "Manual"}, {2, "Auto bracket"}};
constexpr EnumValue kWhiteBalance[] = {{0, "Auto"}, {1, "Manual"}};
constexpr EnumValue kSceneCapture[] = {
    {0, "Standard"}, {1, "Landscape"}, {2, "Portrait"}, {3, "Night"}};
constexpr EnumValue kGainControl[] = {{0, "None"},
                                      {1, "Low gain up"},
                                      {2, "High gain up"},
                                      {3, "Low gain down"},
                                      {4, "High gain down"}};
constexpr EnumValue kContrast[] = {{0, "Normal"}, {1, "Low"}, {2, "High"}};
constexpr EnumValue kSharpness[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
constexpr EnumValue kDistanceRange[] = {{0, "Unknown"}, {1, "Macro"}, {2, "Close"}, {3, "Distant"}};
constexpr EnumValue kCompositeImage[] = {
    {0, "Unknown"},
    {1, "Not a Composite Image"},
    {2, "General Composite Image"},
    {3, "Composite Image Captured While Shooting"},
};

// GPS references are one ASCII letter; the view keys them by its code.
constexpr EnumValue kLatitudeRef[] = {{'N', "North"}, {'S', "South"}};
constexpr EnumValue kLongitudeRef[] = {{'E', "East"}, {'W', "West"}};
constexpr EnumValue kAltitudeRef[] = {{0, "Above sea level"}, {1, "Below sea level"}};
constexpr EnumValue kGpsStatus[] = {{'A', "Measurement Active"}, {'V', "Measurement Void"}};
constexpr EnumValue kMeasureMode[] = {{'2', "2-Dimensional Measurement"},
                                      {'3', "3-Dimensional Measurement"}};
constexpr EnumValue kSpeedRef[] = {{'K', "km/h"}, {'M', "mph"}, {'N', "knots"}};
constexpr EnumValue kDirectionRef[] = {{'T', "True North"}, {'M', "Magnetic North"}};
constexpr EnumValue kDistanceRef[] = {{'K', "Kilometers"}, {'M', "Miles"}, {'N', "Nautical Miles"}};
constexpr EnumValue kDifferential[] = {{0, "No Correction"}, {1, "Differential Corrected"}};

// Sorted by tag.
constexpr TagInfo kTiffTags[] = {
    {0x0100, "Image Width"},
    {0x0101, "Image Length"},
    {0x0102, "Bits Per Sample"},
    {0x0103, "Compression", F::kEnum, kCompression},
    {0x0106, "Photometric Interpretation", F::kEnum, kPhotometric},
    {0x010A, "Fill Order", F::kEnum, kFillOrder},
    {0x010D, "Document Name"},
    {0x010E, "Image Description"},
    {0x010F, "Make"},
    {0x0110, "Model"},
    {0x0111, "Strip Offsets", F::kHidden},
    {0x0112, "Orientation", F::kEnum, kOrientation},
    {0x0115, "Samples Per Pixel"},
    {0x0116, "Rows Per Strip"},
    {0x0117, "Strip Byte Counts", F::kHidden},
    {0x011A, "X Resolution"},
    {0x011B, "Y Resolution"},
    {0x011C, "Planar Configuration", F::kEnum, kPlanar},
    {0x0128, "Resolution Unit", F::kEnum, kResolutionUnit},
    {0x0129, "Page Number"},
    {0x012D, "Transfer Function"},
    {0x0131, "Software"},
    {0x0132, "Date Time"},
    {0x013B, "Artist"},
    {0x013C, "Host Computer"},
    {0x013E, "White Point"},
    {0x013F, "Primary Chromaticities"},
    {0x0144, "Tile Offsets", F::kHidden},
    {0x0145, "Tile Byte Counts", F::kHidden},
    {0x014A, "Sub IFDs", F::kHidden},
    {0x0201, "JPEG Interchange Format", F::kHidden},
    {0x0202, "JPEG Interchange Format Length", F::kHidden},
    {0x0211, "YCbCr Coefficients"},
    {0x0212, "YCbCr Sub Sampling"},
    {0x0213, "YCbCr Positioning", F::kEnum, kYCbCrPositioning},
    {0x0214, "Reference Black White"},
    {0x02BC, "XMP Metadata", F::kBlob},
    {0x4746, "Rating"},
    {0x4749, "Rating Percent"},
    {0x8298, "Copyright"},
    {0x829A, "Exposure Time", F::kExposureTime},
    {0x829D, "F-Number", F::kFNumber},
    {0x83BB, "IPTC-NAA", F::kBlob},
    {0x8649, "Photoshop Settings", F::kBlob},
    {0x8769, "Exif IFD Pointer", F::kHidden},
    {0x8773, "ICC Profile", F::kBlob},
    {0x8822, "Exposure Program", F::kEnum, kExposureProgram},
    {0x8824, "Spectral Sensitivity"},
    {0x8825, "GPS Info IFD Pointer", F::kHidden},
    {0x8827, "ISO Speed"},
    {0x8828, "OECF", F::kBlob},
    {0x8830, "Sensitivity Type", F::kEnum, kSensitivityType},
    {0x8831, "Standard Output Sensitivity"},
    {0x8832, "Recommended Exposure Index"},
    {0x8833, "ISO Speed Value"},
    {0x8834, "ISO Speed Latitude yyy"},
    {0x8835, "ISO Speed Latitude zzz"},
    {0x9000, "Exif Version", F::kVersion},
    {0x9003, "Date Time Original"},
    {0x9004, "Date Time Digitized"},
    {0x9010, "Offset Time"},
    {0x9011, "Offset Time Original"},
    {0x9012, "Offset Time Digitized"},
    {0x9101, "Components Configuration", F::kComponents},
    {0x9102, "Compressed Bits Per Pixel"},
    {0x9201, "Shutter Speed Value", F::kShutterApex},
    {0x9202, "Aperture Value", F::kApertureApex},
    {0x9203, "Brightness Value"},
    {0x9204, "Exposure Bias Value", F::kBias},
    {0x9205, "Max Aperture Value", F::kApertureApex},
    {0x9206, "Subject Distance", F::kUnit, {}, "m"},
    {0x9207, "Metering Mode", F::kEnum, kMeteringMode},
    {0x9208, "Light Source", F::kEnum, kLightSource},
    {0x9209, "Flash", F::kFlash},
    {0x920A, "Focal Length", F::kUnit, {}, "mm"},
    {0x9214, "Subject Area"},
    {0x927C, "Maker Note", F::kBlob},
    {0x9286, "User Comment", F::kCodedText},
    {0x9290, "Sub Sec Time"},
    {0x9291, "Sub Sec Time Original"},
    {0x9292, "Sub Sec Time Digitized"},
    {0x9400,
     "Temperature",
     F::kUnit,
     {},
     "\xC2\xB0"
     "C"},
    {0x9401, "Humidity", F::kUnit, {}, "%"},
    {0x9402, "Pressure", F::kUnit, {}, "hPa"},
    {0x9403, "Water Depth", F::kUnit, {}, "m"},
    {0x9404, "Acceleration", F::kUnit, {}, "mGal"},
    {0x9405, "Camera Elevation Angle", F::kUnit, {}, "\xC2\xB0"},
    {0x9C9B, "XP Title", F::kUcs2Text},
    {0x9C9C, "XP Comment", F::kUcs2Text},
    {0x9C9D, "XP Author", F::kUcs2Text},
    {0x9C9E, "XP Keywords", F::kUcs2Text},
    {0x9C9F, "XP Subject", F::kUcs2Text},
    {0xA000, "Flashpix Version", F::kVersion},
    {0xA001, "Color Space", F::kEnum, kColorSpace},
    {0xA002, "Pixel X Dimension"},
    {0xA003, "Pixel Y Dimension"},
    {0xA004, "Related Sound File"},
    {0xA005, "Interoperability IFD Pointer", F::kHidden},
    {0xA20B, "Flash Energy"},
    {0xA20C, "Spatial Frequency Response", F::kBlob},
    {0xA20E, "Focal Plane X Resolution"},
    {0xA20F, "Focal Plane Y Resolution"},
    {0xA210, "Focal Plane Resolution Unit", F::kEnum, kResolutionUnit},
    {0xA214, "Subject Location"},
    {0xA215, "Exposure Index"},
    {0xA217, "Sensing Method", F::kEnum, kSensingMethod},
    {0xA300, "File Source", F::kEnum, kFileSource},
    {0xA301, "Scene Type", F::kEnum, kSceneType},
    {0xA302, "CFA Pattern", F::kBlob},
    {0xA401, "Custom Rendered", F::kEnum, kCustomRendered},
    {0xA402, "Exposure Mode", F::kEnum, kExposureMode},
    {0xA403, "White Balance", F::kEnum, kWhiteBalance},
    {0xA404, "Digital Zoom Ratio"},
    {0xA405, "Focal Length In 35mm Film", F::kUnit, {}, "mm"},
    {0xA406, "Scene Capture Type", F::kEnum, kSceneCapture},
    {0xA407, "Gain Control", F::kEnum, kGainControl},
    {0xA408, "Contrast", F::kEnum, kContrast},
    {0xA409, "Saturation", F::kEnum, kContrast},
    {0xA40A, "Sharpness", F::kEnum, kSharpness},
    {0xA40B, "Device Setting Description", F::kBlob},
    {0xA40C, "Subject Distance Range", F::kEnum, kDistanceRange},
    {0xA420, "Image Unique ID"},
    {0xA430, "Camera Owner Name"},
    {0xA431, "Body Serial Number"},
    {0xA432, "Lens Info"},  // focal lengths and f-numbers of the lens
    {0xA433, "Lens Make"},
    {0xA434, "Lens Model"},
    {0xA435, "Lens Serial Number"},
    {0xA460, "Composite Image", F::kEnum, kCompositeImage},
    {0xA461, "Source Image Number Of Composite Image"},
    {0xA462, "Source Exposure Times Of Composite Image", F::kBlob},
    {0xA500, "Gamma"},
    {0xC4A5, "Print Image Matching", F::kBlob},
    {0xEA1C, "Padding", F::kBlob},
};

constexpr TagInfo kGpsTags[] = {
    {0x00, "GPS Version ID", F::kDottedBytes},
    {0x01, "GPS Latitude Ref", F::kEnum, kLatitudeRef},
    {0x02, "GPS Latitude", F::kCoordinate},
    {0x03, "GPS Longitude Ref", F::kEnum, kLongitudeRef},
    {0x04, "GPS Longitude", F::kCoordinate},
    {0x05, "GPS Altitude Ref", F::kEnum, kAltitudeRef},
    {0x06, "GPS Altitude", F::kUnit, {}, "m"},
    {0x07, "GPS Time Stamp", F::kGpsTime},
    {0x08, "GPS Satellites"},
    {0x09, "GPS Status", F::kEnum, kGpsStatus},
    {0x0A, "GPS Measure Mode", F::kEnum, kMeasureMode},
    {0x0B, "GPS DOP"},
    {0x0C, "GPS Speed Ref", F::kEnum, kSpeedRef},
    {0x0D, "GPS Speed"},
    {0x0E, "GPS Track Ref", F::kEnum, kDirectionRef},
    {0x0F, "GPS Track"},
    {0x10, "GPS Img Direction Ref", F::kEnum, kDirectionRef},
    {0x11, "GPS Img Direction"},
    {0x12, "GPS Map Datum"},
    {0x13, "GPS Dest Latitude Ref", F::kEnum, kLatitudeRef},
    {0x14, "GPS Dest Latitude", F::kCoordinate},
    {0x15, "GPS Dest Longitude Ref", F::kEnum, kLongitudeRef},
    {0x16, "GPS Dest Longitude", F::kCoordinate},
    {0x17, "GPS Dest Bearing Ref", F::kEnum, kDirectionRef},
    {0x18, "GPS Dest Bearing"},
    {0x19, "GPS Dest Distance Ref", F::kEnum, kDistanceRef},
    {0x1A, "GPS Dest Distance"},
    {0x1B, "GPS Processing Method", F::kCodedText},
    {0x1C, "GPS Area Information", F::kCodedText},
    {0x1D, "GPS Date Stamp"},
    {0x1E, "GPS Differential", F::kEnum, kDifferential},
    {0x1F, "GPS H Positioning Error", F::kUnit, {}, "m"},
};

constexpr TagInfo kInteropTags[] = {
    {0x0001, "Interoperability Index"},    {0x0002, "Interoperability Version", F::kVersion},
    {0x1000, "Related Image File Format"}, {0x1001, "Related Image Width"},
    {0x1002, "Related Image Length"},
};

template <size_t N>
constexpr bool Sorted(const TagInfo (&table)[N]) {
  for (size_t i = 1; i < N; ++i) {
    if (table[i - 1].tag >= table[i].tag) return false;
  }
  return true;
}
static_assert(Sorted(kTiffTags) && Sorted(kGpsTags) && Sorted(kInteropTags),
              "tag tables are searched by bisection");

template <size_t N>
const TagInfo* Search(const TagInfo (&table)[N], uint16_t tag) {
  const TagInfo* it = std::lower_bound(std::begin(table), std::end(table), tag,
                                       [](const TagInfo& t, uint16_t v) { return t.tag < v; });
  return it != std::end(table) && it->tag == tag ? it : nullptr;
}

}  // namespace

const TagInfo* FindTag(EXIFView::Ifd ifd, uint16_t tag) {
  switch (ifd) {
    case EXIFView::Ifd::kGps:
      return Search(kGpsTags, tag);
    case EXIFView::Ifd::kInterop:
      return Search(kInteropTags, tag);
    default:
      return Search(kTiffTags, tag);
  }
}

}  // namespace glib::Libtiff::exif
