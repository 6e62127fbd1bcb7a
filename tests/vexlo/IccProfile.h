// ICC profiles for the colour-management tests, built with Little CMS.
#pragma once

#include <lcms2.h>

#include <string>

namespace vexlo_test {

// The bytes of an RGB profile with a D65 white point, the primaries and one tone curve
// for all three channels; the curve is freed.
inline std::string RgbProfile(const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(curve);
  return bytes;
}

}  // namespace vexlo_test
