#include "image/Preview.h"

#include <memory>
#include <optional>

#include "formats/FileInfoRecord.h"
#include "formats/ImageLoad.h"
#include "formats/PixelType.h"
#include "geometry/Fit.h"
#include "image/Film.h"

namespace glib {

geometry::Size PreviewSize(geometry::Size box, geometry::Size picture) {
  if (picture.width <= box.width && picture.height <= box.height) return picture;
  return geometry::FitInto(box, picture).value_or(geometry::Size{});
}

ERetcode LoadPreviewW(Film& film, const char16_t* path, int32_t width, int32_t height) {
  if (!path || !path[0] || width <= 0 || height <= 0) return BADA;
  // The picture's own size decides the preview's; reading it costs a header.
  std::optional<geometry::Size> picture;
  FileInfoRecord* raw = nullptr;
  if (film.GetFileInfoW(path, &raw, kFormatNone) == RCOK && raw) {
    std::unique_ptr<FileInfoRecord, FileInfoRecordDeleter> record(raw);
    if (record->width > 0 && record->height > 0) {
      picture = geometry::Size{record->width, record->height};
    }
  }
  ImageLoad firstPage;
  if (ERetcode rc = film.LoadThumbnailW(path, kFormatNone, true, width, height, &firstPage);
      rc != RCOK)
    return rc;
  if (film.GetSlideCount() == 0) return BADI;
  const CoreBitmap* shown = film.PrepareSlideBitmap(0, true);
  if (!shown || shown->width <= 0 || shown->height <= 0) return BADI;
  geometry::Size box{width, height};
  geometry::Size target =
      PreviewSize(box, picture.value_or(geometry::Size{shown->width, shown->height}));
  if (target.width <= 0 || target.height <= 0) return BADI;
  if (target.width == shown->width && target.height == shown->height) return RCOK;
  return film.Stretch(target.width, target.height, kScaleBilinear, false, 0, 1, 0);
}

}  // namespace glib
