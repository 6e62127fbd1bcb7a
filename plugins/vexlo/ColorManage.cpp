#include "vexlo/ColorManage.h"

#include <lcms2.h>

#include <mutex>

namespace vexlo {
namespace {

cmsUInt32Number CmsType(CmsLayout layout) {
  switch (layout) {
    case CmsLayout::kGrey8:
      return TYPE_GRAY_8;
    case CmsLayout::kGrey16:
      return TYPE_GRAY_16;
    case CmsLayout::kBgr8:
      return TYPE_BGR_8;
    case CmsLayout::kBgra8:
      return TYPE_BGRA_8;
    case CmsLayout::kBgr16:
      return TYPE_BGR_16;
    case CmsLayout::kBgra16:
      return TYPE_BGRA_16;
    case CmsLayout::kCmyk8:
      return TYPE_CMYK_8;
    case CmsLayout::kCmykInverted8:
      return TYPE_CMYK_8_REV;
  }
  return 0;
}

cmsColorSpaceSignature SpaceOf(CmsLayout layout) {
  switch (layout) {
    case CmsLayout::kGrey8:
    case CmsLayout::kGrey16:
      return cmsSigGrayData;
    case CmsLayout::kCmyk8:
    case CmsLayout::kCmykInverted8:
      return cmsSigCmykData;
    default:
      return cmsSigRgbData;
  }
}

// A damaged profile is an ordinary event; Little CMS must not print about it.
void QuietErrors(cmsContext, cmsUInt32Number, const char*) {}

}  // namespace

ProfileTransform::~ProfileTransform() {
  cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

std::unique_ptr<ProfileTransform> ProfileTransform::Create(std::span<const uint8_t> icc,
                                                           CmsLayout in, CmsLayout out) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { cmsSetLogErrorHandler(&QuietErrors); });
  if (icc.size() < 132 || icc.size() > 0x7FFFFFFF) return nullptr;
  cmsHPROFILE source = cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size()));
  if (!source) return nullptr;
  cmsHTRANSFORM transform = nullptr;
  if (cmsGetColorSpace(source) == SpaceOf(in)) {
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsUInt32Number flags = cmsFLAGS_COPY_ALPHA;
    transform =
        cmsCreateTransform(source, CmsType(in), srgb, CmsType(out), INTENT_PERCEPTUAL, flags);
    cmsCloseProfile(srgb);
  }
  cmsCloseProfile(source);
  if (!transform) return nullptr;
  return std::unique_ptr<ProfileTransform>(new ProfileTransform(transform));
}

void ProfileTransform::Convert(const void* in, void* out, uint32_t pixels) const {
  cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in, out, pixels);
}

uint32_t ProfileSpace(std::span<const uint8_t> icc) {
  if (icc.size() < 128) return 0;
  return uint32_t(icc[16]) << 24 | uint32_t(icc[17]) << 16 | uint32_t(icc[18]) << 8 | icc[19];
}

namespace {
void MarkInSrgb(glib::IDEPage& page) {
  static constexpr uint8_t kMarker[1] = {1};
  if (FindMetadata(page.slideMetadata, kTagInSrgb).empty())
    AppendMetadata(page.slideMetadata, kTagInSrgb, kMarker);
}
}  // namespace

uint32_t AddRgbPage(glib::ImageDataExchange* request, PagePtr page, const LoadOptions& options,
                    std::span<const uint8_t> exif, std::span<const uint8_t> icc) {
  if (!icc.empty() && options.UseProfile(true)) {
    uint32_t rc = ApplyProfile(request, *page, icc);
    if (rc != RCOK) return rc;
  }
  AppendMetadata(page->slideMetadata, kTagExif, exif);
  AppendMetadata(page->slideMetadata, kTagIcc, icc);
  return AddPage(request, std::move(page), options);
}

uint32_t ApplyProfile(glib::ImageDataExchange* request, glib::IDEPage& page,
                      std::span<const uint8_t> icc) {
  glib::CoreBitmap& bitmap = page.bitmap;
  CmsLayout layout;
  uint32_t outType = bitmap.pixelType;
  switch (bitmap.pixelType) {
    case glib::kPixelRGB24:
      layout = CmsLayout::kBgr8;
      break;
    case glib::kPixelRGBA32:
      layout = CmsLayout::kBgra8;
      break;
    case glib::kPixelRGB48:
      layout = CmsLayout::kBgr16;
      break;
    case glib::kPixelRGBA64:
      layout = CmsLayout::kBgra16;
      break;
    case kGray8:
      layout = CmsLayout::kGrey8;
      outType = glib::kPixelRGB24;
      break;
    case glib::kPixelGray16:
      layout = CmsLayout::kGrey16;
      outType = glib::kPixelRGB48;
      break;
    default:
      return RCOK;  // palettes and packed types keep their colours
  }
  bool wide = outType == glib::kPixelRGB48 || outType == glib::kPixelRGBA64;
  CmsLayout outLayout = outType == glib::kPixelRGBA32   ? CmsLayout::kBgra8
                        : outType == glib::kPixelRGBA64 ? CmsLayout::kBgra16
                        : wide                          ? CmsLayout::kBgr16
                                                        : CmsLayout::kBgr8;
  auto transform = ProfileTransform::Create(icc, layout, outLayout);
  if (!transform) return RCOK;
  if (outType == bitmap.pixelType) {
    for (int32_t y = 0; y < bitmap.height; ++y) {
      uint8_t* row = PixelRow(bitmap, y);
      transform->Convert(row, row, uint32_t(bitmap.width));
    }
    MarkInSrgb(page);
    return RCOK;
  }
  PagePtr converted;
  uint32_t rc = NewPage(request, bitmap.width, bitmap.height, outType, converted);
  if (rc != RCOK) return rc;
  for (int32_t y = 0; y < bitmap.height; ++y)
    transform->Convert(PixelRow(bitmap, y), PixelRow(converted->bitmap, y), uint32_t(bitmap.width));
  std::swap(bitmap.pixels, converted->bitmap.pixels);
  std::swap(bitmap.pixelType, converted->bitmap.pixelType);
  std::swap(bitmap.freePixels, converted->bitmap.freePixels);
  MarkInSrgb(page);
  return RCOK;
}

void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, uint32_t pixels, bool inverted) {
  for (uint32_t i = 0; i < pixels; ++i) {
    const uint8_t* s = cmyk + i * 4;
    uint32_t c = s[0], m = s[1], y = s[2], k = s[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // With inverted samples, c, m, y, k now hold 255 - ink.
    bgr[i * 3] = uint8_t((y * k + 127) / 255);
    bgr[i * 3 + 1] = uint8_t((m * k + 127) / 255);
    bgr[i * 3 + 2] = uint8_t((c * k + 127) / 255);
  }
}

}  // namespace vexlo
