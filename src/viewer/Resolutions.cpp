#include "viewer/Resolutions.h"

#include "runtime/TiffDirectory.h"
#include "runtime/TiffWriter.h"

namespace viewer {

namespace {

constexpr uint16_t kTagSubfileType = 254;
constexpr uint16_t kTagWidth = 256;
constexpr uint16_t kTagHeight = 257;
constexpr uint32_t kReducedImage = 1;
constexpr uint32_t kMask = 4;

}  // namespace

std::vector<Size> TiffResolutions(VStream* stream) {
  std::vector<Size> sizes;
  if (!stream) return sizes;
  int64_t length = stream->Size();
  if (length <= 0) return sizes;
  glib::Libtiff::Segment segment(stream, 0, uint64_t(length));
  glib::Libtiff::Reader reader;
  if (!reader.Open(segment)) return sizes;
  const auto& chain = reader.Directories();
  for (size_t i = 0; i < chain.size(); ++i) {
    const glib::Libtiff::Directory& d = chain[i];
    uint32_t type = 0;
    if (const glib::Libtiff::Entry* e = reader.Find(d, kTagSubfileType))
      type = reader.Unsigned(*e).value_or(0);
    if (type & kMask) continue;
    // The next picture of the file begins: its resolutions are not the first's.
    if (i > 0 && !(type & kReducedImage)) break;
    const glib::Libtiff::Entry* w = reader.Find(d, kTagWidth);
    const glib::Libtiff::Entry* h = reader.Find(d, kTagHeight);
    uint32_t width = w ? reader.Unsigned(*w).value_or(0) : 0;
    uint32_t height = h ? reader.Unsigned(*h).value_or(0) : 0;
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) continue;
    sizes.push_back({int32_t(width), int32_t(height)});
  }
  return sizes;
}

}  // namespace viewer
