#include "Harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "formats/IDEPage.h"
#include "formats/ImageDataExchange.h"
#include "formats/Retcode.h"
#include "platform/Module.h"
#include "runtime/LineConverter.h"
#include "runtime/PixelLayout.h"

namespace vexlo_test {

uint32_t Picture::At(int32_t x, int32_t y) const {
  const uint8_t* p = &bgra[(size_t(y) * width + x) * 4];
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

Picture Pattern(int32_t width, int32_t height, bool alpha, uint32_t seed) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.pixelType = glib::kPixelRGBA32;
  picture.bgra.resize(size_t(width) * height * 4);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &picture.bgra[(size_t(y) * width + x) * 4];
      p[0] = uint8_t(x * 255 / std::max(1, width - 1));
      p[1] = uint8_t(y * 255 / std::max(1, height - 1));
      p[2] = uint8_t((x + y) * seed * 7);
      p[3] = alpha ? uint8_t((x * 37 + y * 11) % 256) : 255;
    }
  }
  return picture;
}

int MaxDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.bgra.size() != b.bgra.size()) return 255;
  int worst = 0;
  for (size_t i = 0; i < a.bgra.size(); ++i)
    worst = std::max(worst, std::abs(a.bgra[i] - b.bgra[i]));
  return worst;
}

Picture FromBitmap(const glib::CoreBitmap& bitmap) {
  Picture picture;
  picture.width = bitmap.width;
  picture.height = bitmap.height;
  picture.pixelType = bitmap.pixelType;
  glib::LineConverter converter;
  if (converter.Set(bitmap, glib::kPixelRGBA32) != glib::RCOK) {
    ADD_FAILURE() << "cannot convert pixel type " << std::hex << bitmap.pixelType;
    return picture;
  }
  picture.bgra.resize(size_t(bitmap.width) * bitmap.height * 4);
  for (int32_t y = 0; y < bitmap.height; ++y)
    converter.GetScanline(y, &picture.bgra[size_t(y) * bitmap.width * 4]);
  if (glib::BitsPerSample(bitmap.pixelType) == 16) {
    glib::LineConverter wide;
    if (wide.Set(bitmap, glib::kPixelRGBA64) == glib::RCOK) {
      picture.wide.resize(size_t(bitmap.width) * bitmap.height * 4);
      for (int32_t y = 0; y < bitmap.height; ++y)
        wide.GetScanline(y,
                         reinterpret_cast<uint8_t*>(&picture.wide[size_t(y) * bitmap.width * 4]));
    }
  }
  return picture;
}

namespace {

std::string PluginFolder() {
  std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&PluginFolder));
#if defined(_WIN32)
  return folder + "..\\..\\plugins";
#else
  return folder + "../../plugins";
#endif
}

}  // namespace

Vexlo::Vexlo() {
  manager_.Configure(PluginFolder().c_str(), "vexlo");
  manager_.Init(true);
  EXPECT_FALSE(manager_.Formats().empty()) << "vexlo did not load from " << PluginFolder();
}

Loaded Vexlo::Collect(uint32_t rc, glib::ImageDataExchange& request) {
  Loaded loaded;
  loaded.rc = rc;
  loaded.format = request.format;
  if (rc != glib::RCOK) return loaded;
  for (glib::IDEPage* page : request.pages) {
    Picture picture = FromBitmap(page->bitmap);
    picture.delay = page->delay;
    picture.resolutionX = page->resolutionX;
    picture.resolutionY = page->resolutionY;
    picture.name = page->name.str();
    picture.group = page->group;
    loaded.pages.push_back(std::move(picture));
    loaded.metadata.push_back(std::string(page->slideMetadata.view()));
  }
  return loaded;
}

Loaded Vexlo::Load(const std::string& path, const void* params, uint32_t format) {
  glib::ImageDataExchange request;
  request.format = format;
  uint32_t rc = manager_.LoadImageData(path.c_str(), &request, const_cast<void*>(params));
  return Collect(rc, request);
}

Loaded Vexlo::LoadBytes(std::string_view bytes, const void* params, uint32_t format) {
  glib::ImageDataExchange request;
  request.format = format;
  request.source = bytes.data();
  request.sourceSize = uint32_t(bytes.size());
  uint32_t rc = manager_.LoadImageData(nullptr, &request, const_cast<void*>(params));
  return Collect(rc, request);
}

Loaded Vexlo::Thumbnail(const std::string& path, uint32_t maxWidth, uint32_t maxHeight) {
  glib::ImageDataExchange request;
  request.thumbnailMaxWidth = maxWidth;
  request.thumbnailMaxHeight = maxHeight;
  uint32_t rc = manager_.LoadImageThumbnail(path.c_str(), &request, nullptr);
  return Collect(rc, request);
}

std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter> Vexlo::Info(
    const std::string& path, uint32_t* rc, uint32_t format) {
  glib::ImageDataExchange request;
  request.format = format;
  glib::FileInfoRecord* record = nullptr;
  uint32_t code = manager_.GetFileInfo(path.c_str(), &request, &record);
  if (rc) *rc = code;
  if (code != glib::RCOK) {
    EXPECT_EQ(record, nullptr);
  }
  return std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter>(record);
}

glib::IDEPage* BorrowingPage(const Picture& picture) {
  auto* page = new glib::IDEPage;
  page->bitmap.width = picture.width;
  page->bitmap.height = picture.height;
  page->bitmap.stride = picture.width * 4;
  page->bitmap.pixelType = glib::kPixelRGBA32;
  page->bitmap.pixels = const_cast<uint8_t*>(picture.bgra.data());
  page->bitmap.ownsPixels = 0;
  return page;
}

namespace {

void AddPages(glib::ImageDataExchange& request, const std::vector<Picture>& pages) {
  int32_t group = 0;
  for (const Picture& picture : pages) {
    glib::IDEPage* page = BorrowingPage(picture);
    page->group = group++;
    page->delay = picture.delay ? picture.delay : 10;
    if (picture.resolutionX > 0) page->resolutionX = picture.resolutionX;
    if (picture.resolutionY > 0) page->resolutionY = picture.resolutionY;
    page->name = picture.name;
    request.pages.Add(page);
  }
}

}  // namespace

uint32_t Vexlo::Save(const std::string& path, const std::vector<Picture>& pages,
                     glib::ImageSave& params) {
  glib::ImageDataExchange request;
  AddPages(request, pages);
  return manager_.SaveImageData(path.c_str(), &request, &params);
}

std::string Vexlo::SaveBytes(const std::vector<Picture>& pages, glib::ImageSave& params,
                             uint32_t* rc) {
  glib::ImageDataExchange request;
  AddPages(request, pages);
  uint32_t code = manager_.SaveImageData(nullptr, &request, &params);
  if (rc) *rc = code;
  std::string bytes;
  if (code == glib::RCOK && request.source) {
    bytes.assign(static_cast<const char*>(request.source), request.sourceSize);
    request.release(const_cast<void*>(request.source), 0);
  }
  return bytes;
}

std::string Vexlo::Write(const std::string& name, std::string_view bytes) {
  std::string path = dir_.File(name);
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  return path;
}

bool RunQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string OrbiskExif() {
  static const char kBytes[] =
      "II*\0\x08\0\0\0\x01\0\x0F\x01\x02\0\x07\0\0\0\x1A\0\0\0\0\0\0\0Orbisk";
  return std::string(kBytes, sizeof kBytes);
}

std::string DataFile(const std::string& name) {
  return (testing_support::DataDir() / "vexlo" / name).string();
}

bool HaveConvert() {
#if defined(_WIN32)
  return false;
#else
  return std::system("/usr/bin/convert -version >/dev/null 2>&1") == 0;
#endif
}

bool Convert(const std::string& arguments) {
#if defined(_WIN32)
  (void)arguments;
  return false;
#else
  std::string command = "/usr/bin/convert " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
#endif
}

void Vexlo::ExpectLikeReference(const std::string& source, std::string arguments,
                                const std::string& target, int tolerance, bool orient) {
  std::string quoted = "'" + target + "'";
  size_t at = arguments.find("%s");
  if (at == std::string::npos) {
    arguments += " " + quoted;
  } else {
    arguments.replace(at, 2, quoted);
  }
  ASSERT_TRUE(Convert("'" + source + "' " + arguments));
  Picture reference;
  ASSERT_TRUE(ReferenceDecode(target, reference, orient));
  Loaded ours = Load(target);
  ASSERT_EQ(ours.rc, glib::RCOK);
  EXPECT_LE(MaxDifference(ours.pages.at(0), reference), tolerance);
}

bool ReferenceDecode(const std::string& path, Picture& out, bool orient) {
  std::string raw = path + ".ref.rgba";
  std::string size = path + ".ref.txt";
  std::string options = orient ? " -auto-orient" : "";
  if (!Convert("'" + path + "[0]'" + options + " -depth 8 rgba:'" + raw + "'")) return false;
#if !defined(_WIN32)
  std::string command = "/usr/bin/identify -format '%w %h' '" + path + "[0]' > '" + size + "'";
  if (std::system(command.c_str()) != 0) return false;
#endif
  std::ifstream dims(size);
  if (!(dims >> out.width >> out.height)) return false;
  std::string rgba = ReadFile(raw);
  if (rgba.size() != size_t(out.width) * out.height * 4) return false;
  out.bgra.resize(rgba.size());
  for (size_t i = 0; i < rgba.size(); i += 4) {
    out.bgra[i] = uint8_t(rgba[i + 2]);
    out.bgra[i + 1] = uint8_t(rgba[i + 1]);
    out.bgra[i + 2] = uint8_t(rgba[i]);
    out.bgra[i + 3] = uint8_t(rgba[i + 3]);
  }
  return true;
}

}  // namespace vexlo_test
