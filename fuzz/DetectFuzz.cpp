// Identification reads the first bytes of any file and asks every format's mask
// and detector about them; plug-ins supply the masks and texts. Runs memory and
// stream detection over any bytes with a realistic set of formats plus one whose
// mask, mask length, match word and texts come from the input (a careless plug-in),
// and builds the filter strings from them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filters/FilterManager.h"
#include "formats/MemStream.h"
#include "formats/Retcode.h"
#include "formats/Stream.h"

namespace {

using glib::FilterFormatDesc;
using glib::FilterManager;

// A detector that reads like a real one: typed reads, seeks, a chunk.
uint32_t ORBISK_CDECL ReadingProbe(VStream* stream, uint32_t) {
  if (!stream->Seek(0, kStreamBegin)) return glib::RERR;
  uint32_t magic = stream->ReadU32();
  uint16_t count = stream->ReadU16();
  uint8_t chunk[64];
  size_t got = stream->Read(chunk, 1, count % sizeof(chunk));
  stream->Seek(int64_t(magic % 4096), kStreamCurrent);
  return magic == 0x2A2A2A2A && got > 3 && stream->GetC() == 'P' ? glib::RCOK : glib::NSUP;
}

void Add(FilterManager& manager, uint32_t id, uint32_t matchParam, uint32_t maskLength,
         const char* mask, const char* extensions, const char* text) {
  FilterFormatDesc* desc =
      FilterManager::AddFormat(id, matchParam, maskLength, mask, extensions, text);
  if (desc) manager.Formats().Add(desc);
}

uint32_t Word(const uint8_t* data) {
  uint32_t word;
  std::memcpy(&word, data, 4);
  return word;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 16) return 0;
  FilterManager manager;
  manager.Configure(nullptr, nullptr);

  // The careless plug-in's format: its mask is taken from the input with the
  // length it claims, then the length is changed behind the manager's back.
  size_t maskBytes = data[0] % 64;
  if (maskBytes > size - 16) maskBytes = size - 16;
  std::string mask(reinterpret_cast<const char*>(data + 16), maskBytes);
  std::string texts(reinterpret_cast<const char*>(data + 16), size - 16);
  Add(manager, Word(data + 4), Word(data + 8), uint32_t(mask.size()), mask.data(), texts.c_str(),
      texts.c_str());
  if (!manager.Formats().empty()) manager.Formats()[0]->MaskLength = Word(data + 12);

  Add(manager, 0x2C424D50, 0, 2, "BM", "bmp\ndib", "|Windows Bitmap|*.bmp;*.dib");
  Add(manager, 0x3C544946, 0, 0xFFFFFFFF, "II\\*\\x00|MM\\x00\\*", "tif\ntiff", "|TIFF|*.tif");
  Add(manager, 0x3A474946, 0, 9, "GIF8[79]a", "gif", "|GIF|*.gif");
  Add(manager, 0x00505320, 0, 5, "*%!PS", "ps", "|PostScript|*.ps|more");
  Add(manager, 0x00485749, 8 | 0x00010000, 4, "wave", "wav", "|Wave|*.wav");
  Add(manager, 0x0048454D, 0, 0, nullptr, "heic", "|HEIF|*.heic");
  manager.Formats()[manager.Formats().size() - 1]->Probe = &ReadingProbe;

  const uint8_t* body = data + 16;
  uint32_t bodySize = uint32_t(size - 16);
  uint32_t hint = data[1] & 1 ? 0xFFFFFFFF : Word(data + 4);
  manager.DetectFromMemory(body, bodySize, hint);
  manager.DetectFromMemory(body, bodySize, 0xFFFFFFFF);

  VMemStream stream(const_cast<uint8_t*>(body), bodySize);
  stream.Seek(data[2] % (bodySize + 1), kStreamBegin);
  int64_t position = stream.Tell();
  uint32_t rc = 0;
  manager.DetectFromStream(&stream, rc);
  if (stream.Tell() != position || rc != glib::NSUP) std::abort();

  manager.FindByExtension(texts);
  std::string filter;
  manager.BuildOpenFilter(filter, data[3] & 1, nullptr, data[3] & 2);
  manager.BuildSaveFilter(filter, data[3] & 1, nullptr, data[3] & 2);
  return 0;
}
