// TIFF-structured blocks come from files and EXIF segments of any origin. Walks the
// main chain and every sub-directory an entry may point at, and reads every value of
// every entry the way the information views do: once over the bytes, once through a
// segment of a stream (the reader then fetches only the parts it needs).
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/MemStream.h"
#include "runtime/TiffDirectory.h"
#include "runtime/TiffWriter.h"

using namespace glib::Libtiff;

namespace {

void ReadAll(Reader& reader, const Directory& directory, int depth) {
  for (const Entry& entry : directory.entries) {
    reader.Bytes(entry);
    for (uint32_t i = 0; i < entry.count && i < 64; ++i) {
      reader.Unsigned(entry, i);
      reader.Signed(entry, i);
      reader.RationalAt(entry, i);
      reader.Real(entry, i);
    }
    if (depth < 4) {
      if (std::optional<Directory> sub = reader.SubDirectory(entry))
        ReadAll(reader, *sub, depth + 1);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    Reader reader;
    if (reader.Open(std::span<const uint8_t>(data, size))) {
      const std::vector<Directory> chain = reader.Directories();
      for (const Directory& directory : chain) ReadAll(reader, directory, 0);
    }
  }
  VMemStream stream(const_cast<uint8_t*>(data), size);
  Segment segment(&stream, 0, size);
  Reader reader;
  if (!reader.Open(segment)) return 0;
  const std::vector<Directory> chain = reader.Directories();
  for (const Directory& directory : chain) ReadAll(reader, directory, 0);
  return 0;
}
