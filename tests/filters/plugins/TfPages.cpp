// Pages made to order, for the document tests. A source is a small text script that
// starts with "PGS1"; each later line is a command:
//   page k=v ...    a page for the load entry (keys below; "_" is a blank in codes)
//   tpage k=v ...   a page for the thumbnail entry
//   load CODE       the load entry's answer after making its pages (default RCOK)
//   thumb CODE      the thumbnail entry's answer (default RCOK with tpages, else TMIS)
//   info CODE       the information entry's answer
// Page keys: w h type stride group name namex (hex) x y blend base vis en delay rx ry
// bg canvas=l,t,r,b fill pixels (hex) pal=a,b,... meta smeta claimw claimh norows.
//
// Saving writes the pages it gets back as such a script (names in hex, pixels in hex,
// "merged w h" when a flattened picture came along), to the path or into a block from
// the page allocator. Formats differ only in what their save query answers:
//   PGS  none (single page, signature "PGS1")  PGA  alpha
//   PGV  vector and alpha                      PGL  layers, merged, alpha
//   PGN  layers and merged, no alpha           PGF  alpha; the save fails after writing
//   PGQ  the query itself fails                FLM  the film format: layers, alpha, vector
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "CraftedPages.h"
#include "PluginKit.h"
#include "formats/FormatRegistry.h"
#include "formats/StdioFileStream.h"
#include "platform/PageAlloc.h"

using namespace testplugin;

namespace {

using namespace crafted;

std::string ReadSource(const void* path, glib::ImageDataExchange* request) {
  if (request->sourceSize != 0 && request->source)
    return std::string(static_cast<const char*>(request->source), request->sourceSize);
  std::string text;
  char buffer[4096];
  if (request->stream) {
    size_t n;
    while ((n = request->stream->Read(buffer, 1, sizeof buffer)) > 0 && text.size() < (1u << 24))
      text.append(buffer, n);
    return text;
  }
  VStdioFileStream file;
  bool open = request->wide ? file.Open(static_cast<const char16_t*>(path), u"rb")
                            : file.Open(static_cast<const char*>(path), "rb");
  if (!open) return {};
  size_t n;
  while ((n = file.Read(buffer, 1, sizeof buffer)) > 0 && text.size() < (1u << 24))
    text.append(buffer, n);
  return text;
}

// Four characters; "_" stands for a blank ("mul_" is "mul ").
uint32_t ParseCode(std::string code) {
  if (code.size() != 4) return glib::IERR;
  for (char& c : code)
    if (c == '_') c = ' ';
  char c[5] = {code[0], code[1], code[2], code[3], 0};
  return glib::FourCC(c);
}

std::vector<uint8_t> Hex(const std::string& text) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < text.size(); i += 2)
    bytes.push_back(uint8_t(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
  return bytes;
}

std::string ToHex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

PageSpec ParsePage(std::istringstream& words) {
  PageSpec shape;
  std::string word;
  while (words >> word) {
    size_t eq = word.find('=');
    std::string key = word.substr(0, eq),
                value = eq == std::string::npos ? "" : word.substr(eq + 1);
    auto num = [&] { return int32_t(std::strtol(value.c_str(), nullptr, 0)); };
    auto hex = [&] { return uint32_t(std::strtoul(value.c_str(), nullptr, 16)); };
    if (key == "w")
      shape.width = num();
    else if (key == "h")
      shape.height = num();
    else if (key == "type")
      shape.type = hex();
    else if (key == "stride")
      shape.stride = num();
    else if (key == "group")
      shape.group = num();
    else if (key == "name")
      shape.name = value;
    else if (key == "namex") {
      auto b = Hex(value);
      shape.name.assign(b.begin(), b.end());
    } else if (key == "x")
      shape.x = num();
    else if (key == "y")
      shape.y = num();
    else if (key == "blend")
      shape.blend = ParseCode(value);
    else if (key == "base")
      shape.base = uint8_t(num());
    else if (key == "vis")
      shape.visible = uint8_t(num());
    else if (key == "en")
      shape.enabled = uint8_t(num());
    else if (key == "delay")
      shape.delay = uint32_t(num());
    else if (key == "rx")
      shape.resolutionX = std::strtof(value.c_str(), nullptr);
    else if (key == "ry")
      shape.resolutionY = std::strtof(value.c_str(), nullptr);
    else if (key == "bg")
      shape.background = hex();
    else if (key == "canvas")
      std::sscanf(value.c_str(), "%d,%d,%d,%d", &shape.canvas[0], &shape.canvas[1],
                  &shape.canvas[2], &shape.canvas[3]);
    else if (key == "fill")
      shape.fill = hex();
    else if (key == "pixels")
      shape.pixels = Hex(value);
    else if (key == "pal") {
      std::istringstream list(value);
      std::string entry;
      while (std::getline(list, entry, ','))
        shape.palette.push_back(uint32_t(std::strtoul(entry.c_str(), nullptr, 16)));
    } else if (key == "meta")
      shape.layerMetadata = value;
    else if (key == "smeta")
      shape.slideMetadata = value;
    else if (key == "claimw")
      shape.claimedWidth = num();
    else if (key == "claimh")
      shape.claimedHeight = num();
    else if (key == "norows")
      shape.noRows = true;
  }
  return shape;
}

enum class Entry { kLoad, kThumbnail, kInfo };

uint32_t RunScript(const void* path, glib::ImageDataExchange* request, Entry entry) {
  std::string text = ReadSource(path, request);
  if (text.compare(0, 4, "PGS1") != 0) return glib::BADI;
  std::istringstream lines(text.substr(4));
  std::string line;
  uint32_t loadCode = glib::RCOK, thumbCode = 0, infoCode = glib::RCOK;
  bool anyThumb = false;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string command, code;
    words >> command;
    if (command == "load" && words >> code)
      loadCode = ParseCode(code);
    else if (command == "thumb" && words >> code)
      thumbCode = ParseCode(code);
    else if (command == "info" && words >> code)
      infoCode = ParseCode(code);
    else if (command == "page" && entry == Entry::kLoad) {
      if (uint32_t rc = AddCraftedPage(request, ParsePage(words)); rc != glib::RCOK) return rc;
    } else if (command == "tpage" && entry == Entry::kThumbnail) {
      anyThumb = true;
      if (uint32_t rc = AddCraftedPage(request, ParsePage(words)); rc != glib::RCOK) return rc;
    }
  }
  if (entry == Entry::kInfo) return infoCode;
  if (entry == Entry::kThumbnail) return thumbCode ? thumbCode : anyThumb ? glib::RCOK : glib::TMIS;
  return loadCode;
}

std::string Describe(const glib::IDEPage& page) {
  const glib::CoreBitmap& b = page.bitmap;
  char head[512];
  std::snprintf(head, sizeof head,
                "page w=%d h=%d type=%x stride=%d group=%d x=%d y=%d base=%u vis=%u en=%u "
                "delay=%u rx=%g ry=%g bg=%x canvas=%d,%d,%d,%d",
                b.width, b.height, b.pixelType, b.stride, page.group, page.offsetX, page.offsetY,
                page.base, page.visible, page.enabled, page.delay, double(page.resolutionX),
                double(page.resolutionY), page.background, page.canvasLeft, page.canvasTop,
                page.canvasRight, page.canvasBottom);
  std::string out = head;
  char code[5] = {char(page.blendMode >> 24), char(page.blendMode >> 16), char(page.blendMode >> 8),
                  char(page.blendMode), 0};
  for (char& c : code)
    if (c == ' ') c = '_';
  out += std::string(" blend=") + code;
  if (!page.name.empty()) out += " namex=" + ToHex(page.name.c_str(), page.name.size());
  if (!page.layerMetadata.empty()) out += " meta=" + std::string(page.layerMetadata.view());
  if (!page.slideMetadata.empty()) out += " smeta=" + std::string(page.slideMetadata.view());
  if (b.picture) out += " vector=1";
  if (b.pixels) out += " pixels=" + ToHex(b.pixels, size_t(glib::RowBytes(b) * uint64_t(b.height)));
  return out + "\n";
}

uint32_t WriteScript(const void* path, glib::ImageDataExchange* request, glib::ImageSave* params) {
  std::string text = "PGS1\n";
  char line[96];
  std::snprintf(line, sizeof line, "#format %x first=%u count=%d pages=%u\n", params->format,
                params->firstPage, params->pageCount, request->pages.size());
  text += line;
  if (request->merged) {
    uint32_t first = 0;
    if (request->merged->pixels) std::memcpy(&first, request->merged->pixels, 4);
    std::snprintf(line, sizeof line, "#merged %d %d %x %x\n", request->merged->width,
                  request->merged->height, request->merged->pixelType, first);
    text += line;
  }
  for (glib::IDEPage* page : request->pages) text += Describe(*page);
  if (!path) {
    void* block = platform::PageAlloc(text.size());
    if (!block) return glib::OMEM;
    std::memcpy(block, text.data(), text.size());
    request->source = block;
    request->sourceSize = uint32_t(text.size());
  } else {
    VStdioFileStream file;
    bool open = request->wide ? file.Open(static_cast<const char16_t*>(path), u"wb")
                              : file.Open(static_cast<const char*>(path), "wb");
    if (!open) return glib::WERR;
    file.Write(text.data(), 1, text.size());
  }
  return params->format == kPGF ? glib::WERR : glib::RCOK;
}

}  // namespace

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t query, void* record) {
  if (query == 1) {
    auto* save = static_cast<glib::SaveQuery*>(record);
    const uint32_t format = save->params->format;
    if (format == kPGQ) return glib::IERR;
    save->alpha = format != kPGS && format != kPGN;
    save->vector = format == kPGV || format == glib::kFormatFLM;
    save->layers = format == kPGL || format == kPGN || format == glib::kFormatFLM;
    save->merged = format == kPGL || format == kPGN;
    return glib::RCOK;
  }
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  Announce(info, kPGS, 4, "PGS1", "pgs", "|Crafted pages|*.pgs");
  Announce(info, kPGA, 0, nullptr, "pga", "|Crafted pages with alpha|*.pga", false);
  Announce(info, kPGV, 0, nullptr, "pgv", "|Crafted vector pages|*.pgv", false);
  Announce(info, kPGL, 0, nullptr, "pgl", "|Crafted layers|*.pgl", false);
  Announce(info, kPGN, 0, nullptr, "pgn", "|Crafted opaque layers|*.pgn", false);
  Announce(info, kPGF, 0, nullptr, "pgf", "|Crafted failures|*.pgf", false);
  Announce(info, kPGQ, 0, nullptr, "pgq", "|Crafted refusals|*.pgq", false);
  Announce(info, glib::kFormatFLM, 0, nullptr, "flm", "|Films|*.flm", false);
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

#define PAGES_FORMAT(Code)                                                                   \
  TEST_LOAD_ENTRY(Load##Code##ImageData, { return RunScript(path, request, Entry::kLoad); }) \
  TEST_LOAD_ENTRY(Load##Code##ImageThumbnail,                                                \
                  { return RunScript(path, request, Entry::kThumbnail); })                   \
  TEST_LOAD_ENTRY(Get##Code##FileInfo, {                                                     \
    uint32_t rc = RunScript(path, request, Entry::kInfo);                                    \
    return rc == glib::RCOK ? ReportInfo(params, request->format, 7) : rc;                   \
  })                                                                                         \
  ORBISK_EXPORT uint32_t ORBISK_CDECL Save##Code##ImageData(                                 \
      const void* path, glib::ImageDataExchange* request, glib::ImageSave* params) {         \
    return WriteScript(path, request, params);                                               \
  }

PAGES_FORMAT(PGS)
PAGES_FORMAT(PGA)
PAGES_FORMAT(PGV)
PAGES_FORMAT(PGL)
PAGES_FORMAT(PGN)
PAGES_FORMAT(PGF)
PAGES_FORMAT(PGQ)
PAGES_FORMAT(FLM)

// Row blocks of the pages made so far; index past the end gives null. A negative
// index forgets them.
ORBISK_EXPORT void* ORBISK_CDECL GetCraftedPageRows(int32_t index) {
  std::vector<void*>& rows = PageRows();
  if (index < 0) {
    rows.clear();
    return nullptr;
  }
  return size_t(index) < rows.size() ? rows[size_t(index)] : nullptr;
}
