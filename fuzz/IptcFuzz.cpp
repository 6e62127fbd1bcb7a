// IIM blocks come from JPEG, TIFF and Photoshop files of any origin. Reads the block
// through a memory stream, as the information views do, and prints every dataset.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/MemStream.h"
#include "runtime/Iptc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VMemStream stream(const_cast<uint8_t*>(data), size);
  Libiptc::IPTC iptc;
  if (iptc.LoadFromStream(&stream) != glib::RCOK) return 0;
  std::string name, value;
  for (uint32_t i = 0; i <= iptc.GetSize(); ++i) {
    iptc.GetPrintableItem(i, name, value);
    iptc.GetRecord(i);
    iptc.GetDataset(i);
  }
  return 0;
}
