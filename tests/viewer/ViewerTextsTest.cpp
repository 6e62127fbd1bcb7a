#include "viewer/ViewerTexts.h"

#include <gtest/gtest.h>

#include "host/Commands.h"

using namespace viewer;

TEST(ViewerTexts, TitleAndFileName) {
  EXPECT_EQ(WindowTitle("c:\\pictures\\red.png"), "Orbisk - [red.png]");
  EXPECT_EQ(WindowTitle("c:/a.b/noext"), "Orbisk - [noext]");
  EXPECT_EQ(FileNameText("d:\\x\\archive.tar.gz"), "archive.tar.gz");
  EXPECT_EQ(FileNameText(""), "");
}

TEST(ViewerTexts, ImageAndPageTexts) {
  EXPECT_EQ(ImageText({100, 50, 4, 8}), "100 x 50 32 BPP");
  EXPECT_EQ(ImageText({100, 50, 0, 0}), "100 x 50 24 BPP");  // a depth of 0 shows as 24
  EXPECT_EQ(PageText({false, 0, 0, 2, 5, false}), "3/5 Page(s)");
  EXPECT_EQ(PageText({true, 1, 9, 0, 1, false}), "2/9 Page(s)");  // page-by-page counts pages
  EXPECT_EQ(PageText({false, 0, 0, 2, 5, true}), "5 Page(s)");
}

TEST(ViewerTexts, ToolButtonsInOrderWithTheirTooltips) {
  EXPECT_EQ(kToolButtons.front().command, host::kCmdOpenImage);
  EXPECT_EQ(kToolButtons.back().command, host::kCmdVcrLast);
  for (size_t i = 0; i < kToolButtons.size(); ++i) EXPECT_EQ(kToolButtons[i].image, int(i));
  const ToolButton& remove = kToolButtons[15];
  ASSERT_EQ(remove.command, host::kCmdDeleteImage);
  EXPECT_EQ(ToolTipFor(remove, true), "Remove to Recycle Bin (DEL)");
  EXPECT_EQ(ToolTipFor(remove, false), "Remove (DEL)");
  EXPECT_EQ(ToolTipFor(kToolButtons[12], false), "Zoom in (-)");
}

TEST(ViewerTexts, RecentMenuIsNewestFirstWithoutRepeatsAndAtMostTen) {
  std::vector<std::string> history = {"a", "b", "a", "c"};
  EXPECT_EQ(RecentMenuEntries(history), (std::vector<std::string>{"c", "a", "b"}));
  std::vector<std::string> many;
  for (int i = 0; i < 14; ++i) many.push_back(std::to_string(i));
  std::vector<std::string> entries = RecentMenuEntries(many);
  ASSERT_EQ(entries.size(), 10u);
  EXPECT_EQ(entries.front(), "13");
  EXPECT_EQ(entries.back(), "4");
  EXPECT_EQ(RecentMenuText(1, "c:\\x.png"), "1 c:\\x.png");
  EXPECT_EQ(RecentFilesToWrite({"a", "b"}, {"z"}), (std::vector<std::string>{"b", "a", "z"}));
}

TEST(ViewerTexts, MenuKeysComeFromTheTableForListedCommandsOnly) {
  std::vector<host::AccelEntry> table(host::kDefaultAccelerators.begin(),
                                      host::kDefaultAccelerators.end());
  std::vector<host::AccelEntry> next = KeyStrokesFor(table, host::kCmdOpenNext);
  ASSERT_EQ(next.size(), 3u);
  EXPECT_EQ(next[0].key, 0x22);  // Page Down, Right, Space in table order
  EXPECT_EQ(next[2].key, 0x20);
  EXPECT_TRUE(KeyStrokesFor(table, host::kCmdEscape).empty());  // not in the list
  table.push_back({1, 0, host::kCmdOpenNext});                  // a cleared entry shows nothing
  EXPECT_EQ(KeyStrokesFor(table, host::kCmdOpenNext).size(), 3u);

  EXPECT_EQ(MenuTextWithKeys(L"Exit\tEsc", {}), L"Exit");
  EXPECT_EQ(MenuTextWithKeys(L"Next Image", {L"Page Down", L"Right"}),
            L"Next Image\tPage Down, Right");
}

TEST(ViewerTexts, GoToPageTakesOnlyPagesOfTheFile) {
  EXPECT_EQ(viewer::PageCountText(12), "of 12 pages");
  EXPECT_EQ(viewer::PageNumberFrom("3", 12), 3);
  EXPECT_EQ(viewer::PageNumberFrom(" 12 ", 12), 12);
  EXPECT_EQ(viewer::PageNumberFrom("13", 12), std::nullopt);
  EXPECT_EQ(viewer::PageNumberFrom("0", 12), std::nullopt);
  EXPECT_EQ(viewer::PageNumberFrom("-1", 12), std::nullopt);
  EXPECT_EQ(viewer::PageNumberFrom("2a", 12), std::nullopt);
  EXPECT_EQ(viewer::PageNumberFrom("", 12), std::nullopt);
  EXPECT_EQ(viewer::PageNumberFrom("99999999999", 12), std::nullopt);
}
