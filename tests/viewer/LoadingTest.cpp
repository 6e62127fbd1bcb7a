// The list behind the history, the progress-panel rule and the load plan.
#include <gtest/gtest.h>

#include "formats/FormatRegistry.h"
#include "formats/MemStream.h"
#include "support/TiffBuilder.h"
#include "viewer/LoadPlan.h"
#include "viewer/LoadProgress.h"
#include "viewer/PathList.h"
#include "viewer/Resolutions.h"

using namespace viewer;

TEST(PathList, AddNavigateAndRemove) {
  PathList list;
  EXPECT_FALSE(list.Current());
  list.Add("a", true);
  list.Add("a", true);  // the same as the last entry: nothing
  list.Add("b", false);
  list.Add("c", true);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(*list.Current(), "c");
  EXPECT_FALSE(list.HasNext());
  EXPECT_FALSE(list.Next());
  EXPECT_EQ(*list.Prev(), "b");
  EXPECT_EQ(*list.Prev(), "a");
  EXPECT_FALSE(list.Prev());
  EXPECT_EQ(*list.Current(), "a");
  list.RemoveCurrent();  // the entry that followed becomes current
  EXPECT_EQ(*list.Current(), "b");
  list.Last();
  list.RemoveCurrent();  // at the end: the new last one
  EXPECT_EQ(*list.Current(), "b");
  list.RemoveCurrent();
  EXPECT_TRUE(list.Empty());
  EXPECT_FALSE(list.Current());
  list.RemoveCurrent();  // nothing to remove
}

TEST(LoadProgress, PanelOnlyForLoadsEstimatedAt201MillisecondsOrMore) {
  LoadProgress fast;
  fast.Begin();
  EXPECT_EQ(fast.Report(1, 10, 1000), LoadProgress::Action::None);  // starts the clock
  // 5 of 10 done in 100 ms: (10 + 1) / (5 + 1) * 100 = 183 ms.
  EXPECT_EQ(fast.Report(5, 10, 1100), LoadProgress::Action::None);
  EXPECT_EQ(fast.Current(), LoadProgress::State::Fast);
  EXPECT_EQ(fast.Report(9, 10, 1900), LoadProgress::Action::None);
  EXPECT_EQ(fast.End(), LoadProgress::Action::None);

  LoadProgress slow;
  slow.Begin();
  slow.Report(1, 10, 0xFFFFFFF0u);  // the tick count wraps during the load
  // 5 of 10 in 110 ms: 11 / 6 * 110 = 201.7 ms.
  EXPECT_EQ(slow.Report(5, 10, 0x5Eu), LoadProgress::Action::ShowPanel);
  EXPECT_EQ(slow.Report(6, 10, 0x60u), LoadProgress::Action::UpdatePanel);
  EXPECT_EQ(slow.End(), LoadProgress::Action::HidePanel);
  EXPECT_EQ(slow.Current(), LoadProgress::State::Idle);
}

TEST(LoadPlan, SettingsAndFileDecideTheRequest) {
  host::Settings settings;
  LoadPlan plan = PlanLoad(settings, 1, glib::kFormatPNG);
  EXPECT_EQ(plan.colorProfile, 0u);
  EXPECT_TRUE(plan.reduceTo8Bits);
  EXPECT_EQ(plan.pageCount, kAllPages);
  EXPECT_FALSE(plan.pageByPage);
  EXPECT_FALSE(plan.thumbnail);

  plan = PlanLoad(settings, 12, glib::kFormatTIF);  // "PageByPageMode" is on by default
  EXPECT_TRUE(plan.pageByPage);
  EXPECT_EQ(plan.firstPage, 0u);
  EXPECT_EQ(plan.pageCount, 1u);
  EXPECT_EQ(plan.filePages, 12u);
  EXPECT_FALSE(PlanLoad(settings, 12, glib::kFormatGIF).pageByPage);  // animations play
  EXPECT_FALSE(PlanLoad(settings, kPagesUnknown, glib::kFormatTIF).pageByPage);

  settings.profileUsing = 2;
  settings.bps16 = true;
  settings.thSize = {160, 120};
  plan = PlanLoad(settings, 1, glib::kFormatJPG);
  EXPECT_EQ(plan.colorProfile, 3u);
  EXPECT_FALSE(plan.reduceTo8Bits);
  EXPECT_TRUE(plan.thumbnail);
  EXPECT_EQ(plan.thumbnailSize, (Size{160, 120}));
  settings.profileUsing = 1;
  settings.thSize = {160, 0};  // both sides are needed
  plan = PlanLoad(settings, 1, glib::kFormatJPG);
  EXPECT_EQ(plan.colorProfile, 1u);
  EXPECT_FALSE(plan.thumbnail);
}

TEST(LoadPlan, FramesShorterThan20MillisecondsStay100) {
  EXPECT_EQ(FrameDelay(0), 100u);
  EXPECT_EQ(FrameDelay(19), 100u);
  EXPECT_EQ(FrameDelay(20), 20u);
  EXPECT_EQ(FrameDelay(1500), 1500u);
}

TEST(LoadPlan, TheRecordCarriesRawProfileAndLimitSettings) {
  host::Settings settings;
  settings.fastRawInterpolation = false;
  settings.whiteBalanceType = 0;
  settings.loadLimit = {1, 2, 3, 0x7FFFFFFF};
  settings.profileUsing = 2;
  LoadPlan plan = PlanLoad(settings, 3, glib::kFormatTIF);
  plan.resolution = {32, 24};
  LoadRecord record(glib::kFormatTIF);
  FillLoadRecord(plan, record.Get());
  const glib::ImageLoad& r = record.Get();
  EXPECT_STREQ(r.recordClass->name, "TIFLoad");
  EXPECT_EQ(r.rawQuality, 3u);
  EXPECT_EQ(r.cameraWhiteBalance, 0);
  EXPECT_EQ(r.loadLimit[0], 1u);
  EXPECT_EQ(r.loadLimit[3], 0x7FFFFFFFu);
  EXPECT_EQ(r.colorProfile, 3u);
  EXPECT_EQ(r.pageCount, 1u);  // page by page
  EXPECT_EQ(r.width, 32u);
  EXPECT_EQ(r.height, 24u);

  settings = host::Settings();  // fast interpolation, the camera's white balance
  LoadRecord plain(glib::kFormatJPG);
  FillLoadRecord(PlanLoad(settings, 1, glib::kFormatJPG), plain.Get());
  EXPECT_STREQ(plain.Get().recordClass->name, "ImageLoad");
  EXPECT_EQ(plain.Get().rawQuality, 0u);
  EXPECT_EQ(plain.Get().cameraWhiteBalance, 1);
  EXPECT_EQ(plain.Get().width, 0u);  // no resolution asked for
}

TEST(LoadPlan, ImageResolutionPicksLargestDefaultOrAsks) {
  const std::vector<Size> reduced = {{64, 48}, {32, 24}};
  const std::vector<Size> growing = {{32, 24}, {64, 48}, {16, 12}};
  EXPECT_EQ(ChooseResolution(0, reduced).kind, ResolutionChoice::kDefault);  // the first is largest
  ResolutionChoice largest = ChooseResolution(0, growing);
  EXPECT_EQ(largest.kind, ResolutionChoice::kIndex);
  EXPECT_EQ(largest.index, 1u);
  EXPECT_EQ(ChooseResolution(1, growing).kind, ResolutionChoice::kDefault);
  EXPECT_EQ(ChooseResolution(7, growing).kind, ResolutionChoice::kDefault);
  EXPECT_EQ(ChooseResolution(2, reduced).kind, ResolutionChoice::kAsk);
  // One size leaves nothing to choose.
  EXPECT_EQ(ChooseResolution(2, {{64, 48}}).kind, ResolutionChoice::kDefault);
}

namespace {

// A little-endian TIFF of directories holding only a subfile type and a size.
std::string SizesOnlyTiff(const std::vector<std::pair<uint32_t, Size>>& directories) {
  testing_support::TiffBuilder b(false);
  uint32_t previous = 0;
  for (const auto& [type, size] : directories) {
    const uint32_t at = b.Directory(
        {b.Long(254, type), b.Long(256, uint32_t(size.width)), b.Long(257, uint32_t(size.height))},
        previous == 0);
    if (previous) b.Link(previous, at);
    previous = at;
  }
  return std::string(b.Block().begin(), b.Block().end());
}

std::vector<Size> ResolutionsOf(std::string bytes) {
  VMemStream stream(bytes.data(), bytes.size());
  return TiffResolutions(&stream);
}

}  // namespace

TEST(Resolutions, TheFirstPictureAndItsReducedImagesOnly) {
  // Page, reduced, mask (skipped), reduced, next page, its reduced image.
  std::string file = SizesOnlyTiff({{0, {400, 300}},
                                    {1, {200, 150}},
                                    {4, {400, 300}},
                                    {1, {100, 75}},
                                    {0, {800, 600}},
                                    {1, {80, 60}}});
  EXPECT_EQ(ResolutionsOf(file), (std::vector<Size>{{400, 300}, {200, 150}, {100, 75}}));
  EXPECT_EQ(ResolutionsOf(SizesOnlyTiff({{0, {10, 10}}, {0, {20, 20}}})),
            (std::vector<Size>{{10, 10}}));
  EXPECT_TRUE(ResolutionsOf("not a tiff at all").empty());
  EXPECT_TRUE(ResolutionsOf(file.substr(0, 20)).empty());  // the first directory is cut
  EXPECT_TRUE(TiffResolutions(nullptr).empty());
}
