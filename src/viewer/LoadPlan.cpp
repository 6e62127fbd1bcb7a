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
  plan.rawQuality = settings.fastRawInterpolation ? 0 : 3;
  plan.cameraWhiteBalance = settings.whiteBalanceType == 1;
  for (size_t i = 0; i < plan.loadLimit.size(); ++i)
    plan.loadLimit[i] = uint32_t(settings.loadLimit[i]);
  if (settings.thSize[0] > 0 && settings.thSize[1] > 0) {
    plan.thumbnail = true;
    plan.thumbnailSize = {settings.thSize[0], settings.thSize[1]};
  }
  return plan;
}

void FillLoadRecord(const LoadPlan& plan, glib::ImageLoad& record) {
  record.colorProfile = plan.colorProfile;
  record.reduceTo8Bits = plan.reduceTo8Bits ? 1 : 0;
  record.firstPage = plan.firstPage;
  record.pageCount = plan.pageCount;
  record.rawQuality = plan.rawQuality;
  record.cameraWhiteBalance = plan.cameraWhiteBalance ? 1 : 0;
  for (size_t i = 0; i < plan.loadLimit.size(); ++i) record.loadLimit[i] = plan.loadLimit[i];
  if (plan.resolution.width > 0 && plan.resolution.height > 0) {
    record.width = uint32_t(plan.resolution.width);
    record.height = uint32_t(plan.resolution.height);
  }
}

LoadRecord::LoadRecord(uint32_t format) {
  switch (format) {
    case glib::kFormatBMP:
      record_.emplace<glib::BMPLoad>();
      break;
    case glib::kFormatTIF:
      record_.emplace<glib::TIFLoad>();
      break;
    case glib::kFormatFPX:
      record_.emplace<glib::FPXLoad>();
      break;
    case glib::kFormatPCD:
      record_.emplace<glib::PCDLoad>();
      break;
    default:
      break;
  }
}

glib::ImageLoad& LoadRecord::Get() {
  return std::visit([](auto& record) -> glib::ImageLoad& { return record; }, record_);
}

bool IsMultiResolutionFormat(uint32_t format) {
  return format == glib::kFormatTIF || format == glib::kFormatFPX || format == glib::kFormatPCD;
}

ResolutionChoice ChooseResolution(int32_t imageResolution, const std::vector<Size>& sizes) {
  ResolutionChoice choice;
  if (sizes.size() < 2) return choice;
  if (imageResolution == 2) {
    choice.kind = ResolutionChoice::kAsk;
  } else if (imageResolution == 0) {
    auto area = [](Size s) { return int64_t(s.width) * s.height; };
    for (size_t i = 1; i < sizes.size(); ++i) {
      if (area(sizes[i]) > area(sizes[choice.index])) choice.index = i;
    }
    if (choice.index != 0) choice.kind = ResolutionChoice::kIndex;
  }
  return choice;
}

}  // namespace viewer
