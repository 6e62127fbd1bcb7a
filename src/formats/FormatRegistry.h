// Format identifiers (glib::EFormat): a three-character code in bits 0-23, first
// character highest and blank-padded, and a flag byte in bits 24-31. Identifiers are
// compared as whole 32-bit values: the same code with another flag byte is another
// format. Which formats exist is up to the plug-ins; the program fixes only the
// identifiers of the formats it has save records for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace glib {

enum EFormat : uint32_t {
  kFormatANI = 0x32414E49,
  kFormatBMP = 0x2C424D50,
  kFormatCUR = 0x30435552,
  kFormatDCM = 0x0244434D,
  kFormatDDS = 0x00444453,
  kFormatEMF = 0x88454D46,
  kFormatEPS = 0x90455053,
  kFormatEXR = 0x00455852,
  kFormatFLM = 0x70464C4D,  // the program's own layered format
  kFormatFPX = 0x00465058,
  kFormatGIF = 0x3A474946,
  kFormatHDR = 0x00484452,
  kFormatICO = 0x3049434F,
  kFormatJBG = 0x084A4247,
  kFormatJNG = 0x244A4E47,
  kFormatJP2 = 0x284A5032,
  kFormatJPG = 0x0C4A5047,
  kFormatMNG = 0x364D4E47,
  kFormatOTA = 0x004F5441,
  kFormatPCX = 0x08504358,
  kFormatPDF = 0x90504446,
  kFormatPNG = 0x2C504E47,
  kFormatPPM = 0x0050504D,
  kFormatPSD = 0x04505344,
  kFormatRAW = 0x20524157,
  kFormatSWF = 0xB2535746,
  kFormatTGA = 0x28544741,
  kFormatTIF = 0x3C544946,
  kFormatWBM = 0x0057424D,
  // JPEG XL: common, multi-page (animations); its save record is JXLSave.
  kFormatJXL = 0x184A584C,
  kFormatNone = 0xFFFFFFFF,  // no format, or "detect" in a request
};

// Flag bits the program interprets; the others travel unchanged.
constexpr uint32_t kFormatCommonFlag = 0x08000000;     // listed under "Common graphic files"
constexpr uint32_t kFormatMultiPageFlag = 0x10000000;  // a save writes every page
constexpr uint32_t kFormatCodeMask = 0x00FFFFFF;

constexpr bool IsCommonFormat(uint32_t id) { return (id & kFormatCommonFlag) != 0; }
constexpr bool IsMultiPageFormat(uint32_t id) { return (id & kFormatMultiPageFlag) != 0; }
constexpr uint8_t FormatFlags(uint32_t id) { return uint8_t(id >> 24); }

// The identifier of a code (up to three characters, upper-cased, blank-padded) with a
// flag byte; kFormatNone for an empty or longer code.
uint32_t MakeFormatId(std::string_view code, uint8_t flags);

// The three characters of an identifier's code, blanks kept ("PS ").
std::string FormatCode(uint32_t id);
// The code as it appears in plug-in entry names: cut at its first blank (or NUL), so
// "PS " gives "PS" and "Load" + "PS" + "ImageData" is the entry.
std::string FormatEntryInfix(uint32_t id);

// One format the program has a save record for.
struct KnownFormat {
  uint32_t id;
  const char* code;
  const char* saveClass;
};

// The 29 formats with save records, in code order.
std::span<const KnownFormat> KnownFormats();
// The known format with exactly this identifier, or null.
const KnownFormat* FindKnownFormat(uint32_t id);
// The identifier of a known format by its code ("jpg" or "JPG"); kFormatNone if none.
uint32_t KnownFormatByCode(std::string_view code);
// The identifier a save class carries ("WMFSave" gives EMF); kFormatNone if none.
uint32_t KnownFormatBySaveClass(std::string_view saveClass);

}  // namespace glib
