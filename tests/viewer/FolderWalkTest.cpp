// The folder list: its sort orders, the random order, collecting a folder and the
// walk that skips what cannot be shown.
#include "viewer/FolderWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/TestSupport.h"

using namespace viewer;

namespace {

PathList ListOf(std::initializer_list<const char*> paths) {
  PathList list;
  for (const char* path : paths) list.Add(path, false);
  return list;
}

TEST(PathList, SortsByPathExtensionOrNameAndKeepsTheShownFileCurrent) {
  PathList list = ListOf({"c:\\b.png", "c:\\a.jpg", "c:\\noext", "c:\\c.bmp"});
  list.Sort(PathList::Order::kPath, "c:\\c.bmp");
  EXPECT_EQ(list.Paths(),
            (std::vector<std::string>{"c:\\a.jpg", "c:\\b.png", "c:\\c.bmp", "c:\\noext"}));
  EXPECT_EQ(list.CurrentIndex(), 2u);
  list.Sort(PathList::Order::kExtension, "c:\\missing");
  EXPECT_EQ(list.Paths(),
            (std::vector<std::string>{"c:\\noext", "c:\\c.bmp", "c:\\a.jpg", "c:\\b.png"}));
  EXPECT_EQ(list.CurrentIndex(), 0u);  // not in the list: the first
  list.Sort(PathList::Order::kNone, "c:\\a.jpg");
  EXPECT_EQ(list.Paths()[2], "c:\\a.jpg");  // unchanged order
  EXPECT_EQ(list.CurrentIndex(), 2u);
}

TEST(PathList, ExtensionOrderPutsPathsWithoutADotFirst) {
  EXPECT_TRUE(ExtensionBefore("x", "a.b"));
  EXPECT_FALSE(ExtensionBefore("a.b", "x"));
  EXPECT_FALSE(ExtensionBefore("x", "y"));
  EXPECT_TRUE(ExtensionBefore("z.bmp", "a.jpg"));
  EXPECT_FALSE(ExtensionBefore("a.jpg", "z.jpg"));  // equal extensions: neither first
}

TEST(PathList, NaturalOrderComparesRunsOfDigitsByValue) {
  EXPECT_TRUE(NaturalBefore("img2.jpg", "img10.jpg"));
  EXPECT_FALSE(NaturalBefore("img10.jpg", "img2.jpg"));
  EXPECT_TRUE(NaturalBefore("IMG1.jpg", "img2.jpg"));  // case does not count
  EXPECT_TRUE(NaturalBefore("a.jpg", "B.jpg"));
  EXPECT_TRUE(NaturalBefore("img2.jpg", "img02.jpg"));  // same value: fewer zeros first
  EXPECT_TRUE(NaturalBefore("img", "img1"));
  EXPECT_TRUE(NaturalBefore("x99999999999999999999", "x100000000000000000000"));  // no overflow
  EXPECT_FALSE(NaturalBefore("same", "same"));
  PathList list = ListOf({"p10", "P9", "p1", "p100", "p9a"});
  list.Sort(PathList::Order::kNatural, "p100");
  EXPECT_EQ(list.Paths(), (std::vector<std::string>{"p1", "P9", "p9a", "p10", "p100"}));
  EXPECT_EQ(list.CurrentIndex(), 4u);
}

TEST(PathList, RandomOrderNeverStaysAndIsTheMinimalStandardGenerator) {
  EXPECT_EQ(NextRandom(1), 48271u);
  EXPECT_EQ(NextRandom(48271), 48271u * 48271u - 1 * 2147483647u);
  PathList one = ListOf({"a"});
  EXPECT_FALSE(one.Random(7));
  PathList list = ListOf({"a", "b", "c", "d"});
  std::set<size_t> seen;
  for (uint32_t seed = 0; seed < 200; ++seed) {
    size_t before = list.CurrentIndex();
    ASSERT_TRUE(list.Random(seed));
    EXPECT_NE(list.CurrentIndex(), before) << "seed " << seed;  // seed 0 included: no hang
    EXPECT_LT(list.CurrentIndex(), 4u);
    seen.insert(list.CurrentIndex());
  }
  EXPECT_EQ(seen.size(), 4u);
  // The same seed gives the same entry.
  PathList again = ListOf({"a", "b", "c", "d"});
  PathList twin = ListOf({"a", "b", "c", "d"});
  again.Random(12345);
  twin.Random(12345);
  EXPECT_EQ(again.CurrentIndex(), twin.CurrentIndex());
}

// ---- the walk ----

struct Walk {
  PathList folder;
  std::set<std::string> loadable;
  int wraps = 0;
  bool allowWrap = true;
  std::optional<std::string> Step(bool forward, const std::string& shown) {
    return WalkFolder(
        folder, forward, shown, [&] { return ++wraps, allowWrap; },
        [&](const std::string& path) { return loadable.count(path) > 0; });
  }
};

TEST(FolderWalk, SkipsWhatCannotBeShownAndStopsAtTheShownFile) {
  Walk walk{ListOf({"a.jpg", "b.txt", "c.jpg", "d.bad"}), {"a.jpg", "c.jpg"}};
  walk.folder.Sort(PathList::Order::kNone, "a.jpg");
  EXPECT_EQ(walk.Step(true, "a.jpg"), "c.jpg");
  EXPECT_EQ(walk.folder.Paths(), (std::vector<std::string>{"a.jpg", "c.jpg", "d.bad"}));
  // Past the end: asked, then on from the first.
  EXPECT_EQ(walk.Step(true, "c.jpg"), "a.jpg");
  EXPECT_EQ(walk.wraps, 1);
  EXPECT_EQ(walk.folder.Paths(), (std::vector<std::string>{"a.jpg", "c.jpg"}));
  // Backwards from the first: asked, then the last.
  EXPECT_EQ(walk.Step(false, "a.jpg"), "c.jpg");
  EXPECT_EQ(walk.wraps, 2);
}

TEST(FolderWalk, AfterAFailedFileTheOneThatFollowedIsNotPassedOver) {
  Walk walk{ListOf({"a.jpg", "broken.jpg", "c.jpg", "d.jpg"}),
            {"a.jpg", "broken.jpg", "c.jpg", "d.jpg"}};
  walk.folder.Sort(PathList::Order::kNone, "a.jpg");
  EXPECT_EQ(walk.Step(true, "a.jpg"), "broken.jpg");
  walk.folder.RemoveCurrent();  // its load failed; "c.jpg" now stands there
  EXPECT_EQ(WalkFolder(
                walk.folder, true, "a.jpg", [] { return true; },
                [](const std::string&) { return true; }, true),
            "c.jpg");
  // The failed file was the last: the walk wraps as usual.
  walk.folder.Last();
  walk.folder.RemoveCurrent();
  EXPECT_EQ(walk.folder.Current(), "c.jpg");
  EXPECT_EQ(WalkFolder(
                walk.folder, true, "c.jpg", [] { return true; },
                [](const std::string&) { return true; }, true),
            "a.jpg");
}

TEST(FolderWalk, ARefusedWrapKeepsThePicture) {
  Walk walk{ListOf({"a.jpg", "b.jpg"}), {"a.jpg", "b.jpg"}};
  walk.allowWrap = false;
  walk.folder.Sort(PathList::Order::kNone, "b.jpg");
  EXPECT_EQ(walk.Step(true, "b.jpg"), std::nullopt);
  EXPECT_EQ(walk.folder.CurrentIndex(), 1u);
  EXPECT_EQ(walk.folder.Count(), 2u);
}

TEST(FolderWalk, OneShowableFileAmongManyLeavesItAlone) {
  Walk walk{ListOf({"1.txt", "2.txt", "pic.jpg", "3.txt", "4.txt"}), {"pic.jpg"}};
  walk.folder.Sort(PathList::Order::kNone, "pic.jpg");
  EXPECT_EQ(walk.Step(true, "pic.jpg"), std::nullopt);
  EXPECT_EQ(walk.folder.Paths(), std::vector<std::string>{"pic.jpg"});
  EXPECT_EQ(walk.Step(false, "pic.jpg"), std::nullopt);  // fewer than two: nothing asked
  // Nothing loadable and the shown file gone: the list empties, the walk ends.
  Walk gone{ListOf({"x.txt", "y.txt"}), {}};
  EXPECT_EQ(gone.Step(true, "deleted.jpg"), std::nullopt);
  EXPECT_TRUE(gone.folder.Empty());
}

// ---- collecting ----

TEST(FolderWalk, CollectsFilesLowerCasedAndSubFoldersDepthFirstOnRequest) {
  testing_support::TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directories(dir.Path() / "Sub" / "Deeper");
  for (const char* name : {"A.JPG", "b.png", "Sub/c.gif", "Sub/Deeper/d.bmp"})
    std::ofstream(dir.Path() / name) << "x";
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return char(std::tolower(c)); });
    return s;
  };
  std::string root = dir.Path().string();
#if defined(_WIN32)
  const std::string sep = "\\";
#else
  const std::string sep = "/";
#endif
  std::vector<std::string> flat, deep;
  EXPECT_TRUE(CollectFolder(root, false, lower,
                            [&](const std::string& p) { return flat.push_back(p), true; }));
  std::sort(flat.begin(), flat.end());
  EXPECT_EQ(flat, (std::vector<std::string>{lower(root) + sep + "a.jpg", lower(root) + sep + "b.png"}));
  CollectFolder(root, true, lower, [&](const std::string& p) { return deep.push_back(p), true; });
  EXPECT_EQ(deep.size(), 4u);
  // Depth first: the sub-folder's files come together, where the folder was met.
  std::string sub = lower(root) + sep + "sub" + sep;
  auto first = std::find_if(deep.begin(), deep.end(), [&](auto& p) { return p.starts_with(sub); });
  ASSERT_NE(first, deep.end());
  EXPECT_TRUE(std::all_of(first, first + 2, [&](auto& p) { return p.starts_with(sub); }));
  // Stopping early.
  int seen = 0;
  EXPECT_FALSE(CollectFolder(root, true, lower, [&](const std::string&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(FolderOf("c:\\pics\\a.jpg"), "c:\\pics");
  EXPECT_EQ(FolderOf("a.jpg"), "");
}

}  // namespace
