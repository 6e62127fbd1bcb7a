// Libiptc::IPTC: the datasets of an IIM block (the 0x1C-tagged records newsroom
// software writes into JPEG, TIFF and Photoshop files), read from untrusted bytes and
// turned into printable names and values for the information views.
//
// Records 1 (envelope) and 2 (application) are named; their datasets without a name
// show as "Record r:d". Datasets of the other records (object data, post-object data)
// are read and counted but are not printable.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/Retcode.h"

struct VStream;

namespace Libiptc {

class IPTC {
 public:
  // Most bytes taken from a stream; IIM blocks are a few kilobytes.
  static constexpr uint64_t kMaxStreamBytes = uint64_t(16) << 20;
  // Photoshop resources looked at before giving up on finding the IIM one.
  static constexpr uint32_t kMaxResources = 4096;

  // Reads an IIM block (a sequence of 0x1C-tagged datasets) from the stream's current
  // position to its end. Also accepts a Photoshop image-resource block
  // ("Photoshop 3.0\0" and/or "8BIM" resources) and takes resource 0x0404 from it.
  // RCOK when at least one dataset was read; NSUP when the bytes are neither IIM nor
  // resources holding it; BADI when the first dataset is malformed.
  glib::ERetcode LoadFromStream(VStream* stream);
  // The same from bytes in memory.
  glib::ERetcode LoadFromBytes(std::span<const uint8_t> bytes);

  uint32_t GetSize() const { return uint32_t(datasets_.size()); }  // datasets read
  // A printable name and value (UTF-8) for dataset `index`. False for datasets that
  // are not printable (binary ones such as record 2 preview data, records beyond 2)
  // or beyond the size.
  bool GetPrintableItem(uint32_t index, std::string& name, std::string& value) const;
  // For tests and tools.
  uint8_t GetRecord(uint32_t index) const;
  uint8_t GetDataset(uint32_t index) const;

 private:
  struct Dataset {
    uint8_t record = 0;
    uint8_t dataset = 0;
    std::vector<uint8_t> value;
  };

  glib::ERetcode ReadIim(std::span<const uint8_t> block);
  glib::ERetcode ReadResources(std::span<const uint8_t> block);
  std::string Text(const Dataset& d) const;

  std::vector<Dataset> datasets_;
  bool utf8_ = false;  // 1:90 says ESC % G
};

}  // namespace Libiptc
