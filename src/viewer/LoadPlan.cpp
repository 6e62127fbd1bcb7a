#include "viewer/LoadPlan.h"

#include "formats/FormatRegistry.h"

namespace viewer {

bool IsAnimationFormat(uint32_t format) {
  return format == glib::kFormatGIF || format == glib::kFormatANI || format == glib::kFormatMNG;
}

LoadPlan PlanLoad(const host::Settings& settings, uint32_t filePages, uint32_t format) {
  LoadPlan plan;
  plan.colorProfile = settings.profileUsing == 1 ? 1 : settings.profileUsing == 2 ? 3 : 0;
  plan.reduceTo8Bits = !settings.bps16;
  bool severalPages = filePages != kPagesUnknown && filePages >= 2;
  if (settings.pageByPageMode && severalPages && !IsAnimationFormat(format)) {
    plan.pageByPage = true;
    plan.filePages = filePages;
    plan.pageCount = 1;
  }
  if (settings.thSize[0] > 0 && settings.thSize[1] > 0) {
    plan.thumbnail = true;
    plan.thumbnailSize = {settings.thSize[0], settings.thSize[1]};
  }
  return plan;
}

}  // namespace viewer
