// The document's operating-system services where there is no Windows: plain file
// chores, no graphics service (vector pictures answer with the neutral values), the
// raster notice picture, no resources and no clipboard.
#include <sys/stat.h>

#include <cstdio>

#include "image/FilmPlatform.h"
#include "image/NoticePicture.h"
#include "platform/Text.h"

namespace glib {

void UnlockWholeFile(const std::string& path) {
  // Nothing locks byte ranges here; opening once keeps the order of events the same.
  if (FILE* file = std::fopen(path.c_str(), "rb")) std::fclose(file);
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool RemoveFileWide(const char16_t* path) {
  return path && RemoveFile(platform::Utf8FromUtf16(path));
}

int64_t FileSizeOf(const std::u16string& path) {
  struct stat facts;
  if (stat(platform::Utf8FromUtf16(path).c_str(), &facts) != 0 || !S_ISREG(facts.st_mode))
    return -1;
  return int64_t(facts.st_size);
}

bool ReplaceFileWith(const std::u16string& target, const std::u16string& finished) {
  std::string to = platform::Utf8FromUtf16(target);
  // rename() would replace a read-only file (and root may write any); a file without
  // write permission stays, as Windows keeps a read-only one.
  struct stat facts;
  if (stat(to.c_str(), &facts) == 0 && (facts.st_mode & 0222) == 0) return false;
  return std::rename(platform::Utf8FromUtf16(finished).c_str(), to.c_str()) == 0;
}

bool StartGraphics() { return false; }
void StopGraphics() {}

bool MakeNoticePage(IDEPage& page) {
  if (!DrawNoticeRaster(page.bitmap)) return false;
  page.resolutionX = page.resolutionY = 96.0f;
  return true;
}

uint32_t FindResourceBytes(void*, uint16_t, const char*, const void*& data, uint32_t& size) {
  data = nullptr;
  size = 0;
  return MISS;
}

OwnedObject* ResizePicture(const OwnedObject*, int32_t, int32_t, int32_t, int32_t, int32_t,
                           int32_t) {
  return nullptr;
}

OwnedObject* MirrorPicture(const OwnedObject*, int32_t, int32_t, bool, bool) { return nullptr; }

OwnedObject* RotatePicture(const OwnedObject*, int32_t, int32_t, double, int32_t&, int32_t&) {
  return nullptr;
}

bool PutOnClipboard(const CoreBitmap&) { return false; }
bool TakeFromClipboard(Layer&) { return false; }

}  // namespace glib
