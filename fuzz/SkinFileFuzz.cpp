// Skin files are put beside the library by anyone. Reads any bytes as a skin file and
// its description, then lays a window out from whatever was read at a few sizes: the
// button places and zones must come out without overflow or out-of-range reads.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "viewer/SkinDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  // The bytes as a file, and the same bytes as a description on their own.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto description = viewer::SkinDescriptionText(bytes)) text = *description;
  const viewer::SkinDescription skin = viewer::ParseSkinDescription(text);
  for (viewer::Size client : {viewer::Size{0, 0}, viewer::Size{452, 268}, skin.DesignSize()}) {
    viewer::PlaceSkinButtons(skin, client);
    // Sixteen steps each way, so a huge design size costs no more than a small one.
    const int32_t stepX = client.width / 16 + 1, stepY = client.height / 16 + 1;
    for (int32_t y = 0; y < client.height; y += stepY)
      for (int32_t x = 0; x < client.width; x += stepX) viewer::HitSkinZone(skin, client, {x, y});
  }
  return 0;
}
