#include "vexlo/IsoTracks.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "vexlo/Core.h"

namespace vexlo {
namespace {

// A big-endian unsigned value of `bytes` bytes (0, 4 or 8 in item locations, 8 for
// the size of a large box).
uint64_t Sized(Reader& in, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | in.U8();
  return v;
}

// The next box of `in`: its type and body. False at the end or on a box that does not
// fit (which also fails the reader).
bool NextBox(Reader& in, uint32_t& type, std::span<const uint8_t>& body) {
  if (in.Left() < 8) return false;
  size_t start = in.Pos();
  uint64_t size = in.U32BE();
  type = in.U32BE();
  if (size == 1) {
    size = Sized(in, 8);
  } else if (size == 0) {
    size = in.Size() - start;  // to the end of the enclosing box
  }
  size_t header = in.Pos() - start;
  if (in.Failed() || size < header || size - header > in.Left()) {
    in.Skip(in.Left() + 1);
    return false;
  }
  body = {in.Data() + in.Pos(), size_t(size - header)};
  in.Skip(size - header);
  return true;
}

// The body of the first child box of `type`, or an empty span.
std::span<const uint8_t> Child(std::span<const uint8_t> parent, uint32_t type) {
  Reader in(parent);
  uint32_t t;
  std::span<const uint8_t> body;
  while (NextBox(in, t, body))
    if (t == type) return body;
  return {};
}

struct SampleTables {
  std::span<const uint8_t> stsz, stsc, stco, co64, stts;
};

// A property of a visual sample entry or an image item that we read: the decoder
// configuration, a colour description, the auxiliary type. False for any other.
bool ReadProperty(uint32_t type, std::span<const uint8_t> body, ImageTrack& track) {
  if (type == FourCc("av1C") || type == FourCc("hvcC")) {
    track.config = body;
  } else if (type == FourCc("colr")) {
    Reader colr(body);
    uint32_t kind = colr.U32BE();
    if (kind == FourCc("nclx") && colr.Left() >= 7 && !track.hasNclx) {
      track.hasNclx = true;
      track.primaries = colr.U16BE();
      track.transfer = colr.U16BE();
      track.matrix = colr.U16BE();
      track.fullRange = (colr.U8() & 0x80) != 0;
    } else if ((kind == FourCc("prof") || kind == FourCc("rICC")) && track.icc.empty() &&
               body.size() > 4) {
      track.icc = body.subspan(4);
    }
  } else if (type == FourCc("auxi") || type == FourCc("auxC")) {
    if (body.size() < 4) return true;
    std::string_view urn(reinterpret_cast<const char*>(body.data()) + 4, body.size() - 4);
    urn = urn.substr(0, urn.find('\0'));
    track.alpha =
        urn == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha" || urn == "urn:mpeg:hevc:2015:auxid:1";
  } else {
    return false;
  }
  return true;
}

// The colour description and decoder configuration among a visual sample entry's
// child boxes.
void ReadEntryBoxes(std::span<const uint8_t> boxes, ImageTrack& track) {
  Reader in(boxes);
  uint32_t type;
  std::span<const uint8_t> body;
  while (NextBox(in, type, body)) ReadProperty(type, body, track);
}

// The first sample entry of 'stsd' (the others would need a sample's description
// index, which image sequences do not use).
bool ReadSampleEntry(std::span<const uint8_t> stsd, ImageTrack& track) {
  Reader in(stsd);
  in.Skip(4);  // version, flags
  if (in.U32BE() == 0 || in.Failed()) return false;
  uint32_t type;
  std::span<const uint8_t> entry;
  if (!NextBox(in, type, entry)) return false;
  track.codec = type;
  // A visual sample entry: 6 reserved bytes, the data reference index, 16 bytes of
  // pre-defined and reserved fields, the width and height, then 50 more bytes.
  Reader fields(entry);
  fields.Skip(24);
  track.width = fields.U16BE();
  track.height = fields.U16BE();
  if (!fields.Skip(50)) return false;
  ReadEntryBoxes(entry.subspan(fields.Pos()), track);
  return true;
}

// Where each sample lies: chunk offsets and the sample-to-chunk runs; how big it is;
// how long it shows.
bool ReadSamples(const SampleTables& t, uint64_t fileSize, size_t maxSamples, ImageTrack& track) {
  Reader stsz(t.stsz);
  stsz.Skip(4);
  uint32_t fixedSize = stsz.U32BE();
  uint64_t count = stsz.U32BE();
  if (stsz.Failed() || (fixedSize == 0 && count > stsz.Left() / 4)) return false;
  if (count > maxSamples) {
    count = maxSamples;
    track.cut = true;
  }

  bool wide = t.stco.empty();
  Reader chunks(wide ? t.co64 : t.stco);
  chunks.Skip(4);
  uint64_t chunkCount = chunks.U32BE();
  if (chunks.Failed() || chunkCount > chunks.Left() / (wide ? 8 : 4)) return false;

  Reader runs(t.stsc);
  runs.Skip(4);
  uint64_t runCount = runs.U32BE();
  if (runs.Failed() || runCount > runs.Left() / 12) return false;

  // The runs of chunks with the same number of samples; the first starts at chunk 1
  // and each starts after the one before.
  struct Run {
    uint32_t first, samples;
  };
  std::vector<Run> list(static_cast<size_t>(runCount));
  for (Run& run : list) {
    run.first = runs.U32BE();
    run.samples = runs.U32BE();
    runs.Skip(4);  // sample description index
  }
  if (list.empty() || list[0].first != 1) return false;
  for (size_t i = 1; i < list.size(); ++i)
    if (list[i].first <= list[i - 1].first) return false;

  track.samples.reserve(size_t(count));
  size_t run = 0;
  for (uint64_t chunk = 1; chunk <= chunkCount && track.samples.size() < count; ++chunk) {
    while (run + 1 < list.size() && chunk >= list[run + 1].first) ++run;
    uint32_t runSamples = list[run].samples;
    uint64_t offset = Sized(chunks, wide ? 8 : 4);
    for (uint32_t s = 0; s < runSamples && track.samples.size() < count; ++s) {
      uint32_t size = fixedSize ? fixedSize : stsz.U32BE();
      if (size == 0 || offset > fileSize || size > fileSize - offset) {
        track.cut = true;
        return true;
      }
      track.samples.push_back({offset, size, 0});
      offset += size;
    }
  }
  if (track.samples.size() < count) track.cut = true;

  // Durations: runs of equal deltas.
  Reader times(t.stts);
  times.Skip(4);
  uint64_t timeRuns = times.U32BE();
  size_t next = 0;
  for (uint64_t r = 0; r < timeRuns && !times.Failed() && next < track.samples.size(); ++r) {
    uint32_t n = times.U32BE(), delta = times.U32BE();
    if (times.Failed()) break;
    for (uint32_t i = 0; i < n && next < track.samples.size(); ++i)
      track.samples[next++].duration = delta;
  }
  return true;
}

bool ReadTrack(std::span<const uint8_t> trak, uint64_t fileSize, size_t maxSamples,
               ImageTrack& track) {
  Reader tkhd(Child(trak, FourCc("tkhd")));
  uint8_t version = tkhd.U8();
  tkhd.Skip(3 + (version == 1 ? 16 : 8));
  track.id = tkhd.U32BE();
  if (tkhd.Failed() || track.id == 0) return false;

  Reader tref(Child(trak, FourCc("tref")));
  uint32_t type;
  std::span<const uint8_t> body;
  while (NextBox(tref, type, body)) {
    if (type != FourCc("auxl")) continue;
    Reader ids(body);
    while (ids.Left() >= 4) track.auxFor.push_back(ids.U32BE());
  }

  std::span<const uint8_t> mdia = Child(trak, FourCc("mdia"));
  Reader mdhd(Child(mdia, FourCc("mdhd")));
  version = mdhd.U8();
  mdhd.Skip(3 + (version == 1 ? 16 : 8));
  track.timescale = mdhd.U32BE();
  Reader hdlr(Child(mdia, FourCc("hdlr")));
  hdlr.Skip(8);
  track.handler = hdlr.U32BE();
  if (mdhd.Failed() || hdlr.Failed()) return false;

  std::span<const uint8_t> stbl = Child(Child(mdia, FourCc("minf")), FourCc("stbl"));
  std::span<const uint8_t> stsd = Child(stbl, FourCc("stsd"));
  if (stsd.empty() || !ReadSampleEntry(stsd, track)) return false;
  SampleTables tables{Child(stbl, FourCc("stsz")), Child(stbl, FourCc("stsc")),
                      Child(stbl, FourCc("stco")), Child(stbl, FourCc("co64")),
                      Child(stbl, FourCc("stts"))};
  if (tables.stsz.empty() || tables.stsc.empty() || (tables.stco.empty() && tables.co64.empty()))
    return false;
  return ReadSamples(tables, fileSize, maxSamples, track);
}

// A turn ('irot') or a mirroring ('imir') among an item's properties; false for any
// other property.
bool ReadTransform(uint32_t type, std::span<const uint8_t> body,
                   std::vector<StillTransform>& transforms) {
  if ((type != FourCc("irot") && type != FourCc("imir")) || body.empty() || transforms.size() >= 16)
    return false;
  StillTransform t;
  t.kind = type == FourCc("irot") ? StillTransform::kTurn : StillTransform::kMirror;
  t.value = uint8_t(body[0] & (t.kind == StillTransform::kTurn ? 3 : 1));
  transforms.push_back(t);
  return true;
}

bool SameColours(const ImageTrack& a, const ImageTrack& b) {
  return a.hasNclx == b.hasNclx && a.primaries == b.primaries && a.transfer == b.transfer &&
         a.matrix == b.matrix && a.fullRange == b.fullRange && a.icc.size() == b.icc.size() &&
         std::equal(a.icc.begin(), a.icc.end(), b.icc.begin());
}

// Whether `count` tiles of `tile` pixels just cover `picture` pixels: the last tile
// reaches past the edge by less than a tile.
bool Covers(uint32_t count, uint32_t tile, uint32_t picture) {
  uint64_t reach = uint64_t(count) * tile;
  return tile > 0 && picture > 0 && reach >= picture && reach - tile < picture;
}

// The most properties the list may have, and an item may name, that we keep.
constexpr size_t kMaxProperties = 4096;
constexpr size_t kMaxItemProperties = 64;
// The most references kept (a grid's tiles, alpha images, premultiplications).
constexpr size_t kMaxReferences = 4 * kMaxGridTiles;

}  // namespace

MetaItems::MetaItems(std::span<const uint8_t> file) : file_(file) {
  std::span<const uint8_t> meta = Child(file, FourCc("meta"));
  meta = meta.size() >= 4 ? meta.subspan(4) : std::span<const uint8_t>();  // version, flags
  idat_ = Child(meta, FourCc("idat"));
  auto item = [this](uint32_t id) -> Item* {
    auto found = items_.find(id);
    if (found != items_.end()) return &found->second;
    return items_.size() < kMaxItems ? &items_[id] : nullptr;
  };
  uint32_t type;
  std::span<const uint8_t> body;

  // Item types (none before version 2 of an entry); the first entry for an id holds.
  Reader iinf(Child(meta, FourCc("iinf")));
  uint8_t version = iinf.U8();
  iinf.Skip(3 + (version == 0 ? 2 : 4));
  while (NextBox(iinf, type, body)) {
    if (type != FourCc("infe")) continue;
    Reader entry(body);
    uint8_t v = entry.U8();
    entry.Skip(3);
    if (v < 2) continue;
    uint32_t id = v == 2 ? entry.U16BE() : entry.U32BE();
    entry.Skip(2);  // protection index
    uint32_t itemType = entry.U32BE();
    Item* at = entry.Failed() ? nullptr : item(id);
    if (at && at->type == 0) at->type = itemType;
  }

  // Locations: the first entry for an id that has an extent, and its first extent.
  Reader iloc(Child(meta, FourCc("iloc")));
  version = iloc.U8();
  iloc.Skip(3);
  uint8_t sizes = iloc.U8(), more = iloc.U8();
  int offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
  int indexSize = version >= 1 ? more & 15 : 0;
  uint32_t count = version < 2 ? iloc.U16BE() : iloc.U32BE();
  for (uint32_t i = 0; i < count && !iloc.Failed(); ++i) {
    uint32_t id = version < 2 ? iloc.U16BE() : iloc.U32BE();
    uint8_t method = uint8_t(version >= 1 ? iloc.U16BE() & 15 : 0);
    iloc.Skip(2);  // data reference index
    uint64_t base = Sized(iloc, baseSize);
    uint16_t extents = iloc.U16BE();
    for (uint16_t e = 0; e < extents && !iloc.Failed(); ++e) {
      Sized(iloc, indexSize);
      uint64_t offset = Sized(iloc, offsetSize), length = Sized(iloc, lengthSize);
      Item* at = e > 0 || iloc.Failed() ? nullptr : item(id);
      if (!at || at->located) continue;
      at->located = true;
      at->method = method;
      at->extents = extents;
      at->base = base;
      at->offset = offset;
      at->length = length;
    }
  }

  // Properties: ipco lists them, ipma gives each item its 1-based indices into the list.
  std::span<const uint8_t> iprp = Child(meta, FourCc("iprp"));
  Reader list(Child(iprp, FourCc("ipco")));
  while (properties_.size() < kMaxProperties && NextBox(list, type, body))
    properties_.emplace_back(type, body);
  Reader ipma(Child(iprp, FourCc("ipma")));
  version = ipma.U8();
  ipma.Skip(2);
  bool wideIndex = (ipma.U8() & 1) != 0;
  count = ipma.U32BE();
  for (uint32_t i = 0; i < count && !ipma.Failed(); ++i) {
    uint32_t id = version < 1 ? ipma.U16BE() : ipma.U32BE();
    uint8_t associations = ipma.U8();
    Item* at = ipma.Failed() ? nullptr : item(id);
    for (uint8_t a = 0; a < associations && !ipma.Failed(); ++a) {
      uint32_t index = wideIndex ? ipma.U16BE() & 0x7fff : ipma.U8() & 0x7f;
      if (!at || index == 0) continue;  // 0: no property
      // An index out of the list, or more than we keep, spoils the item's properties
      // (a 0 among them).
      if (at->properties.size() == kMaxItemProperties)
        at->properties.back() = 0;
      else
        at->properties.push_back(index <= properties_.size() ? uint16_t(index) : uint16_t(0));
    }
  }
  associationsRead_ = !ipma.Failed();

  // References: from a grid to its tiles ('dimg'), from an auxiliary image to its
  // master ('auxl'), from a colour image to the alpha it is premultiplied by ('prem').
  Reader iref(Child(meta, FourCc("iref")));
  version = iref.U8();
  iref.Skip(3);
  int idSize = version == 0 ? 2 : 4;
  while (NextBox(iref, type, body) && references_.size() < kMaxReferences) {
    if (type != FourCc("dimg") && type != FourCc("auxl") && type != FourCc("prem")) continue;
    Reader ref(body);
    uint32_t from = uint32_t(Sized(ref, idSize));
    for (uint16_t n = ref.U16BE(); n > 0 && references_.size() < kMaxReferences; --n) {
      uint32_t to = uint32_t(Sized(ref, idSize));
      if (ref.Failed()) break;
      references_.push_back({type, from, to});
    }
  }
}

const MetaItems::Item* MetaItems::Find(uint32_t item) const {
  auto found = items_.find(item);
  return found == items_.end() ? nullptr : &found->second;
}

// The bytes of an item's first extent: in the file, or in the 'idat' box.
std::span<const uint8_t> MetaItems::Data(const Item& item) const {
  if (!item.located) return {};
  std::span<const uint8_t> from = item.method == 0   ? file_
                                  : item.method == 1 ? idat_
                                                     : std::span<const uint8_t>();
  if (item.base > from.size() || item.offset > from.size() - item.base) return {};
  uint64_t at = item.base + item.offset, left = from.size() - at;
  return from.subspan(size_t(at), size_t(item.length == 0 ? left : std::min(item.length, left)));
}

// Item `item` as a track of one sample, when it is a coded picture in one extent of
// the file whose properties are all ones the track decoder honours. Its properties
// (the auxiliary type among them) are read either way.
bool MetaItems::Coded(uint32_t item, ImageTrack& still) const {
  still = {};
  still.id = item;
  still.handler = FourCc("pict");
  const Item* found = Find(item);
  if (!found) return false;
  bool honoured = associationsRead_, sized = false;
  for (uint16_t index : found->properties) {
    if (index == 0) {
      honoured = false;
      continue;
    }
    const auto& [type, body] = properties_[index - 1];
    if (type == FourCc("ispe")) {
      Reader ispe(body);
      ispe.Skip(4);
      still.width = ispe.U32BE();
      still.height = ispe.U32BE();
      sized = !ispe.Failed();
    } else if (type != FourCc("pixi") && !ReadProperty(type, body, still) &&
               !ReadTransform(type, body, still.transforms)) {
      honoured = false;  // a cropping, a layer choice
    }
  }
  still.codec = found->type;
  if (still.codec != FourCc("av01") && still.codec != FourCc("hvc1")) return false;
  bool inFile = found->located && found->method == 0 && found->extents == 1;
  std::span<const uint8_t> data = inFile ? Data(*found) : std::span<const uint8_t>();
  if (!honoured || !sized || still.config.empty() || data.empty() || data.size() > UINT32_MAX)
    return false;
  still.samples.push_back({uint64_t(data.data() - file_.data()), uint32_t(data.size()), 0});
  return true;
}

bool MetaItems::Still(uint32_t item, ImageTrack& colour, ImageTrack& alpha, bool& hasAlpha) const {
  if (!Coded(item, colour)) return false;
  for (const Reference& r : references_)
    colour.premultiplied |= r.kind == FourCc("prem") && r.from == item;
  hasAlpha = false;
  for (const Reference& r : references_) {
    if (r.kind != FourCc("auxl") || r.to != item) continue;
    ImageTrack candidate;
    bool read = Coded(r.from, candidate);
    if (!candidate.alpha) continue;  // a depth map or another auxiliary image
    if (!read || candidate.codec != colour.codec || !candidate.transforms.empty() ||
        !colour.transforms.empty())
      return false;
    candidate.handler = FourCc("auxv");
    candidate.auxFor = {item};
    alpha = std::move(candidate);
    hasAlpha = true;
    break;
  }
  return true;
}

// The description of grid item `item`: its tiles' rows and columns, and the size of
// the picture they make. False when the item is no grid or the description is short.
bool MetaItems::ReadGrid(uint32_t item, StillGrid& grid) const {
  const Item* found = Find(item);
  if (!found || found->type != FourCc("grid")) return false;
  Reader in(Data(*found));
  in.Skip(1);  // version
  bool wide = (in.U8() & 1) != 0;
  grid.rows = in.U8() + 1u;
  grid.columns = in.U8() + 1u;
  grid.width = wide ? in.U32BE() : in.U16BE();
  grid.height = wide ? in.U32BE() : in.U16BE();
  return !in.Failed();
}

bool MetaItems::Grid(uint32_t item, StillGrid& grid) const {
  grid = {};
  if (!ReadGrid(item, grid)) return false;
  uint32_t count = grid.rows * grid.columns;
  if (count > kMaxGridTiles || !associationsRead_) return false;
  // The grid's own properties: its size and colours, nothing that transforms.
  for (uint16_t index : Find(item)->properties) {
    if (index == 0) return false;
    const auto& [type, body] = properties_[index - 1];
    bool known = type == FourCc("ispe") || type == FourCc("pixi") ||
                 (type == FourCc("colr") && ReadProperty(type, body, grid.colours)) ||
                 ReadTransform(type, body, grid.transforms);
    if (!known) return false;
  }
  std::vector<uint32_t> ids;
  for (const Reference& r : references_)
    if (r.kind == FourCc("dimg") && r.from == item) ids.push_back(r.to);
  if (ids.size() != count) return false;
  grid.tiles.reserve(count);
  for (uint32_t id : ids) {
    ImageTrack tile;
    if (!Coded(id, tile) || tile.alpha || !tile.transforms.empty()) return false;
    if (!grid.tiles.empty()) {
      const ImageTrack& first = grid.tiles.front();
      if (tile.codec != first.codec || tile.width != first.width || tile.height != first.height ||
          !std::equal(tile.config.begin(), tile.config.end(), first.config.begin(),
                      first.config.end()) ||
          !SameColours(tile, first))
        return false;
    }
    grid.tiles.push_back(std::move(tile));
  }
  const ImageTrack& first = grid.tiles.front();
  return Covers(grid.columns, first.width, grid.width) &&
         Covers(grid.rows, first.height, grid.height);
}

bool MetaItems::GridSize(uint32_t item, uint64_t& width, uint64_t& height) const {
  StillGrid grid;
  if (!ReadGrid(item, grid)) return false;
  width = grid.width;
  height = grid.height;
  return true;
}

bool ReadImageTracks(std::span<const uint8_t> file, std::vector<ImageTrack>& tracks,
                     size_t maxSamples) {
  tracks.clear();
  Reader top(file);
  uint32_t type;
  std::span<const uint8_t> moov;
  std::span<const uint8_t> body;
  while (NextBox(top, type, body)) {
    if (type == FourCc("moov")) {
      moov = body;
      break;
    }
  }
  if (moov.empty()) return !top.Failed();
  Reader in(moov);
  bool whole = true;
  while (NextBox(in, type, body)) {
    if (type != FourCc("trak")) continue;
    ImageTrack track;
    if (ReadTrack(body, file.size(), maxSamples, track))
      tracks.push_back(std::move(track));
    else
      whole = false;
  }
  return whole && !in.Failed();
}

const ImageTrack* PictureTrack(const std::vector<ImageTrack>& tracks, uint32_t codec) {
  for (const ImageTrack& track : tracks)
    if ((track.handler == FourCc("pict") || track.handler == FourCc("vide")) &&
        track.codec == codec && !track.samples.empty())
      return &track;
  return nullptr;
}

const ImageTrack* AlphaTrackFor(const std::vector<ImageTrack>& tracks, const ImageTrack& track) {
  for (const ImageTrack& other : tracks)
    if (other.handler == FourCc("auxv") && other.alpha && other.codec == track.codec &&
        std::find(other.auxFor.begin(), other.auxFor.end(), track.id) != other.auxFor.end())
      return &other;
  return nullptr;
}

}  // namespace vexlo
