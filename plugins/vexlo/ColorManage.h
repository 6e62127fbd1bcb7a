// Colour management with Little CMS: pictures that carry an ICC profile are turned
// into sRGB when the load parameters ask for it (the viewer's "ProfileUsing").
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "vexlo/Core.h"

namespace vexlo {

// Sample layouts the transforms read and write (16-bit samples in machine order).
enum class CmsLayout { kGrey8, kGrey16, kBgr8, kBgra8, kBgr16, kBgra16, kCmyk8, kCmykInverted8 };

class ProfileTransform {
 public:
  ~ProfileTransform();
  ProfileTransform(const ProfileTransform&) = delete;
  ProfileTransform& operator=(const ProfileTransform&) = delete;

  // From the profile to sRGB; null when the profile cannot be read or its colour space
  // does not match the input layout. Alpha is copied.
  static std::unique_ptr<ProfileTransform> Create(std::span<const uint8_t> icc, CmsLayout in,
                                                  CmsLayout out);
  void Convert(const void* in, void* out, uint32_t pixels) const;

 private:
  explicit ProfileTransform(void* transform) : transform_(transform) {}
  void* transform_;
};

// The page's pixels converted from the profile to sRGB. Grey pages become 24-bit RGB
// (or 48-bit); an unusable profile leaves the page as it is (still RCOK).
uint32_t ApplyProfile(glib::ImageDataExchange* request, glib::IDEPage& page,
                      std::span<const uint8_t> icc);

// Adds an RGB page to the request with its file's EXIF block and profile, its pixels
// first turned into sRGB when the options ask for it.
uint32_t AddRgbPage(glib::ImageDataExchange* request, PagePtr page, const LoadOptions& options,
                    std::span<const uint8_t> exif, std::span<const uint8_t> icc);

// The colour space of a profile (its header's four-character code), 0 when none.
uint32_t ProfileSpace(std::span<const uint8_t> icc);

// CMYK samples (Adobe's inverted convention when `inverted`) to blue, green, red by
// the plain formula, for pictures whose profile is ignored or missing.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, uint32_t pixels, bool inverted);

}  // namespace vexlo
