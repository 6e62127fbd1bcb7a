// ISO boxes written by hand, for the tests and the bench of the HEIF reader: plain and
// full boxes, and a grid file put together from coded tiles (as phones store their
// photographs, which the encoders we have cannot write).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline std::string U32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
inline std::string Box(const char* type, const std::string& body) {
  return U32(uint32_t(body.size() + 8)) + type + body;
}
inline std::string Full(const std::string& body) { return U32(0) + body; }  // version 0, no flags

// The body of the first box of `type` in a file's bytes (heif-enc's files hold one
// hvcC and one mdat box), or an empty string.
inline std::string FirstBoxBody(const std::string& bytes, const char* type) {
  size_t at = bytes.find(type);
  if (at == std::string::npos || at < 4) return {};
  const auto* size = reinterpret_cast<const uint8_t*>(bytes.data() + at - 4);
  size_t n = size_t(size[0]) << 24 | size_t(size[1]) << 16 | size_t(size[2]) << 8 | size[3];
  return n < 8 || at - 4 + n > bytes.size() ? std::string() : bytes.substr(at + 4, n - 8);
}

// A HEIF file whose primary item (1) is a grid of `columns` x `rows` tiles (items 2 on,
// each `data` coded as `codec` with the configuration box `config`, `tile` pixels
// square) put together into a width x height picture. `gridBoxes` are further
// properties of the grid; `references` how many tiles the grid names (-1: all).
struct GridShape {
  const char* codec = "hvc1";
  std::string config;
  std::vector<std::string> data;
  uint32_t columns = 1, rows = 1, tile = 64, width = 64, height = 64;
  std::string gridBoxes;
  int references = -1;
  uint32_t lastTile = 0;  // another size for the last tile (0: the same)
};

inline std::string GridFile(const GridShape& g) {
  auto u16 = [](uint32_t v) { return std::string{char(v >> 8), char(v)}; };
  uint32_t tiles = uint32_t(g.data.size());
  std::string infe = Box("infe", std::string("\x02\0\0\0", 4) + u16(1) + u16(0) + "grid" + '\0');
  for (uint32_t i = 0; i < tiles; ++i)  // hidden items: no pictures of their own
    infe += Box("infe", std::string("\x02\0\0\x01", 4) + u16(2 + i) + u16(0) + g.codec + '\0');
  uint32_t named = g.references < 0 ? tiles : uint32_t(g.references);
  std::string dimg = u16(1) + u16(named);
  for (uint32_t i = 0; i < named; ++i) dimg += u16(2 + i);
  // Properties: 1 the grid's size, 2 the tiles' size, 3 their configuration, 4 on the
  // grid's further boxes. Indices of 16 bits, the configuration's marked essential.
  std::string ipco = Box("ispe", Full(U32(g.width) + U32(g.height))) +
                     Box("ispe", Full(U32(g.tile) + U32(g.tile))) + g.config;
  std::string gridIndices = u16(1);
  uint16_t next = 4;
  for (size_t at = 0; at + 8 <= g.gridBoxes.size(); ++next) {
    size_t size = size_t(uint8_t(g.gridBoxes[at + 2])) << 8 | uint8_t(g.gridBoxes[at + 3]);
    ipco += g.gridBoxes.substr(at, size);
    gridIndices += u16(next);
    at += size;
  }
  uint16_t lastSize = 2;
  if (g.lastTile) {
    ipco += Box("ispe", Full(U32(g.lastTile) + U32(g.lastTile)));
    lastSize = next;
  }
  std::string ipma = U32(1 + tiles) + u16(1) + char(gridIndices.size() / 2) + gridIndices;
  for (uint32_t i = 0; i < tiles; ++i)
    ipma += u16(2 + i) + char(2) + u16(i + 1 == tiles ? lastSize : 2) + u16(0x8003);
  std::string iprp =
      Box("iprp", Box("ipco", ipco) + Box("ipma", std::string("\0\0\0\x01", 4) + ipma));
  std::string description = std::string("\0\0", 2) + char(g.rows - 1) + char(g.columns - 1) +
                            u16(g.width) + u16(g.height);
  std::string mdat = description;
  for (const std::string& d : g.data) mdat += d;
  std::string head = Box("ftyp", std::string("heic") + U32(0) + "mif1heicavif");
  // Version 0 locations with 4-byte offsets and lengths, patched in once the size of
  // everything before 'mdat' is known.
  auto meta = [&](uint32_t at) {
    std::string iloc = std::string("\x44\0", 2) + u16(1 + tiles) + u16(1) + u16(0) + u16(1) +
                       U32(at) + U32(uint32_t(description.size()));
    at += uint32_t(description.size());
    for (uint32_t i = 0; i < tiles; ++i) {
      iloc += u16(2 + i) + u16(0) + u16(1) + U32(at) + U32(uint32_t(g.data[i].size()));
      at += uint32_t(g.data[i].size());
    }
    return Box("meta", Full(Box("hdlr", Full(U32(0) + "pict" + std::string(12, '\0'))) +
                            Box("pitm", Full(u16(1))) + Box("iinf", Full(u16(1 + tiles) + infe)) +
                            Box("iref", Full(Box("dimg", dimg))) + Box("iloc", Full(iloc)) + iprp));
  };
  uint32_t at = uint32_t(head.size() + meta(0).size() + 8);
  return head + meta(at) + Box("mdat", mdat);
}

}  // namespace testing_support
