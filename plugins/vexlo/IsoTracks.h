// The picture tracks of an ISO base media file (the 'moov' box of an AVIF or HEIF
// image sequence): where each sample lies, how long it shows, and the sample entry's
// decoder configuration and colour description. Only reads; every offset and count is
// checked against the file, and the sample list is bounded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexlo {

constexpr uint32_t FourCc(const char (&code)[5]) {
  return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
         uint32_t(uint8_t(code[2])) << 8 | uint8_t(code[3]);
}

// What a still picture's properties do to it once it is decoded.
struct StillTransform {
  enum Kind : uint8_t { kTurn, kMirror } kind = kTurn;
  // kTurn: quarter turns anticlockwise (0 to 3); kMirror: 1 left and right change
  // places, 0 top and bottom.
  uint8_t value = 0;
};

struct TrackSample {
  uint64_t offset = 0;
  uint32_t size = 0;
  uint32_t duration = 0;  // in the track's time scale
};

struct ImageTrack {
  uint32_t id = 0;
  uint32_t handler = 0;  // 'pict', 'vide', or 'auxv' for an auxiliary track
  uint32_t codec = 0;    // the sample entry's type: 'av01', 'hvc1', ...
  uint32_t width = 0, height = 0;
  uint32_t timescale = 0;
  std::span<const uint8_t> config;  // the av1C or hvcC box's body
  // An 'nclx' colour description, when the sample entry has one.
  bool hasNclx = false;
  uint16_t primaries = 2, transfer = 2, matrix = 2;
  bool fullRange = false;
  std::span<const uint8_t> icc;
  bool alpha = false;            // an auxiliary track of alpha planes
  bool premultiplied = false;    // colour premultiplied by its alpha
  std::vector<uint32_t> auxFor;  // the tracks an auxiliary track belongs to
  // A still item's turns and mirrorings, in the order they apply.
  std::vector<StillTransform> transforms;
  std::vector<TrackSample> samples;
  // The sample tables named more samples than the file holds (or than we keep).
  bool cut = false;
};

// The tracks of the file's 'moov' box (none when it has none). False when the box
// structure is damaged; tracks that could be read are still returned.
bool ReadImageTracks(std::span<const uint8_t> file, std::vector<ImageTrack>& tracks,
                     size_t maxSamples);

// The first picture track coded as `codec` that has samples, or null.
const ImageTrack* PictureTrack(const std::vector<ImageTrack>& tracks, uint32_t codec);
// The alpha track that belongs to `track`, or null.
const ImageTrack* AlphaTrackFor(const std::vector<ImageTrack>& tracks, const ImageTrack& track);

// A 'grid' image item read for decoding by the same track decoder as a sequence's
// frames: its tiles, row by row, each a coded picture read as a track of one sample.
struct StillGrid {
  uint32_t rows = 0, columns = 0;
  uint32_t width = 0, height = 0;          // the picture the tiles are put together into
  std::vector<ImageTrack> tiles;           // all of one codec, size, configuration and colours
  ImageTrack colours;                      // the grid item's own colour description
  std::vector<StillTransform> transforms;  // of the whole picture, in their order
};

// Most tiles a grid may have for MetaItems::Grid (a 50-megapixel photograph has some
// 200 tiles of 512 x 512).
constexpr uint32_t kMaxGridTiles = 1024;

// The image items of a file's 'meta' box, read once: each item's type, where its data
// lie, its properties, and the references between items. The lookups below are then
// table look-ups, so that a grid of many tiles costs one pass over the boxes, not one
// a tile. At most kMaxItems items are kept; the others are not found.
class MetaItems {
 public:
  static constexpr size_t kMaxItems = 1 << 16;

  explicit MetaItems(std::span<const uint8_t> file);

  // Item `item` as a track of one sample, with its alpha image as a second track when
  // it has one (`hasAlpha`): for decoding a still picture the way a sequence's frames
  // are decoded. False when the item is not one coded picture in one extent of the
  // file, or when it has properties that change the picture other than turns and
  // mirrorings (cropping, a choice of layer): those are left to a general HEIF
  // reader. A picture with alpha is taken only untransformed.
  bool Still(uint32_t item, ImageTrack& colour, ImageTrack& alpha, bool& hasAlpha) const;

  // Item `item` as a grid of plain coded pictures. False when it is no grid, when the
  // grid has properties that change the picture other than turns and mirrorings or a
  // tile has any, when the tiles differ in codec, size, decoder configuration or
  // colours, when there are more than kMaxGridTiles of them, or when they do not just
  // cover the grid's picture.
  bool Grid(uint32_t item, StillGrid& grid) const;

  // The output size the description of item `item` gives when it is a 'grid' item
  // (the picture its tiles are put together into). False when it is none or the
  // description cannot be read.
  bool GridSize(uint32_t item, uint64_t& width, uint64_t& height) const;

 private:
  struct Item {
    uint32_t type = 0;  // from the item information; 0 when it has none
    // The first extent, from the item locations: `method` 0 in the file, 1 in 'idat'.
    bool located = false;
    uint8_t method = 0;
    uint16_t extents = 0;
    uint64_t base = 0, offset = 0, length = 0;
    std::vector<uint16_t> properties;  // 1-based indices into properties_, in order
  };
  struct Reference {
    uint32_t kind, from, to;
  };

  const Item* Find(uint32_t item) const;
  std::span<const uint8_t> Data(const Item& item) const;
  bool Coded(uint32_t item, ImageTrack& still) const;
  bool ReadGrid(uint32_t item, StillGrid& grid) const;

  std::span<const uint8_t> file_, idat_;
  std::vector<std::pair<uint32_t, std::span<const uint8_t>>> properties_;  // 'ipco'
  bool associationsRead_ = false;  // 'ipma' read whole, every index in range
  std::unordered_map<uint32_t, Item> items_;
  std::vector<Reference> references_;  // 'dimg', 'auxl' and 'prem' only
};

}  // namespace vexlo
