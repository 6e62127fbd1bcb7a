#include "formats/FormatRegistry.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace glib {
namespace {

constexpr std::array<KnownFormat, 29> kKnown{{
    {kFormatANI, "ANI", "ANISave"}, {kFormatBMP, "BMP", "BMPSave"}, {kFormatCUR, "CUR", "CURSave"},
    {kFormatDCM, "DCM", "DCMSave"}, {kFormatDDS, "DDS", "DDSSave"}, {kFormatEMF, "EMF", "WMFSave"},
    {kFormatEPS, "EPS", "EPSSave"}, {kFormatEXR, "EXR", "EXRSave"}, {kFormatFLM, "FLM", "FLMSave"},
    {kFormatFPX, "FPX", "FPXSave"}, {kFormatGIF, "GIF", "GIFSave"}, {kFormatHDR, "HDR", "HDRSave"},
    {kFormatICO, "ICO", "ICOSave"}, {kFormatJBG, "JBG", "JBGSave"}, {kFormatJNG, "JNG", "JNGSave"},
    {kFormatJP2, "JP2", "JP2Save"}, {kFormatJPG, "JPG", "JPGSave"}, {kFormatMNG, "MNG", "MNGSave"},
    {kFormatOTA, "OTA", "OTASave"}, {kFormatPCX, "PCX", "PCXSave"}, {kFormatPDF, "PDF", "PDFSave"},
    {kFormatPNG, "PNG", "PNGSave"}, {kFormatPPM, "PPM", "PNMSave"}, {kFormatPSD, "PSD", "PSDSave"},
    {kFormatRAW, "RAW", "RAWSave"}, {kFormatSWF, "SWF", "SWFSave"}, {kFormatTGA, "TGA", "TGASave"},
    {kFormatTIF, "TIF", "TIFSave"}, {kFormatWBM, "WBM", "WBMSave"},
}};

bool SameCode(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(uint8_t(x)) == std::toupper(uint8_t(y));
         });
}

}  // namespace

uint32_t MakeFormatId(std::string_view code, uint8_t flags) {
  if (code.empty() || code.size() > 3) return kFormatNone;
  uint32_t id = uint32_t(flags) << 24;
  for (int i = 0; i < 3; ++i) {
    uint8_t c = i < int(code.size()) ? uint8_t(std::toupper(uint8_t(code[i]))) : uint8_t(' ');
    id |= uint32_t(c) << (16 - 8 * i);
  }
  return id;
}

std::string FormatCode(uint32_t id) {
  return {char((id >> 16) & 0xFF), char((id >> 8) & 0xFF), char(id & 0xFF)};
}

std::string FormatEntryInfix(uint32_t id) {
  std::string code = FormatCode(id);
  size_t cut = code.find_first_of(std::string_view(" \0", 2));
  if (cut != std::string::npos) code.resize(cut);
  return code;
}

std::span<const KnownFormat> KnownFormats() { return kKnown; }

const KnownFormat* FindKnownFormat(uint32_t id) {
  auto it = std::find_if(kKnown.begin(), kKnown.end(), [&](const auto& f) { return f.id == id; });
  return it == kKnown.end() ? nullptr : &*it;
}

uint32_t KnownFormatByCode(std::string_view code) {
  for (const auto& f : kKnown) {
    if (SameCode(f.code, code)) return f.id;
  }
  return kFormatNone;
}

uint32_t KnownFormatBySaveClass(std::string_view saveClass) {
  for (const auto& f : kKnown) {
    if (saveClass == f.saveClass) return f.id;
  }
  return kFormatNone;
}

}  // namespace glib
