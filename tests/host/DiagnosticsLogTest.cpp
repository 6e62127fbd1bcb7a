#include "host/DiagnosticsLog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

using namespace host;

namespace {

struct SeenMessage {
  int count = 0;
  std::string text;
  std::string caption;
};
SeenMessage seen;

int RecordMessage(const platform::Message& message) {
  ++seen.count;
  seen.text = message.text;
  seen.caption = message.caption;
  return platform::answer::kOk;
}

}  // namespace

TEST(DiagnosticsLog, FileNamesCarryTheStartTimeWithoutColonsOrLineFeed) {
  std::string sep(1, PathSeparator());
  const char* time = "Wed Jun 30 21:49:08 1993\n";
  EXPECT_EQ(LogFilePath("c:", time), "c:" + sep + "orbisk_log_Wed Jun 30 21_49_08 1993_.txt");
  EXPECT_EQ(LogFilePath("c:\\logs\\", time),
            "c:\\logs" + sep + "orbisk_log_Wed Jun 30 21_49_08 1993_.txt");
  EXPECT_EQ(LogFilePath("/tmp/", time), "/tmp" + sep + "orbisk_log_Wed Jun 30 21_49_08 1993_.txt");
  EXPECT_EQ(LogFilePath("a:b:c\t", "x"), "a:b_c_" + sep + "orbisk_log_x.txt")
      << "only a drive's colon survives";

  std::string now = CtimeText(std::time(nullptr));
  ASSERT_EQ(now.size(), 25u) << now;
  EXPECT_EQ(now.substr(13, 4), ":" + now.substr(14, 2) + ":");
  EXPECT_EQ(now.back(), '\n');
}

TEST(DiagnosticsLog, MemoryStatusLineInKibibytes) {
  MemoryStatus status{42, 8ull << 30, 3ull << 30, 12ull << 30, 5ull << 30, 128ull << 40, 1000};
  EXPECT_EQ(FormatMemoryStatus(status),
            "MEM=42% in use; Physical=(8388608, 3145728), Paging=(12582912, 5242880), "
            "Virtual=(137438953472, 0) Kbytes\n");
  MemoryStatus live;
  ASSERT_TRUE(QueryMemoryStatus(live));
  EXPECT_GT(live.totalPhysical, 0u);
  EXPECT_LE(live.availablePhysical, live.totalPhysical);
  EXPECT_LE(live.loadPercent, 100u);
  EXPECT_LE(live.availableVirtual, live.totalVirtual);
}

TEST(DiagnosticsLog, EveryLineIsOnDiskAtOnce) {
  testing_support::TempDir dir;
  DiagnosticsLog log;
  ASSERT_TRUE(log.Open(dir.Path().string() + PathSeparator()));
  std::string path = log.Path();
  EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.Path());
  EXPECT_EQ(std::filesystem::path(path).filename().string().rfind("orbisk_log_", 0), 0u);

  log.Write("(%d) Try to load: %s\n", 1, "a.jpg");
  log.WriteWide(L"(%d) Try to load: %ls\n", 2, L"caf\u00e9.png");
  log.WriteMemoryStatus();
  log.Write("%s", std::string(5000, 'x').c_str());
  std::string text = testing_support::ReadText(path);
  EXPECT_EQ(text.rfind("Orbisk started. Time=", 0), 0u);
  EXPECT_NE(text.find("\n(1) Try to load: a.jpg\n"), std::string::npos);
  EXPECT_NE(text.find("\n(2) Try to load: " + platform::NarrowFromUtf16(u"caf\u00e9.png") + "\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\nMEM="), std::string::npos);
  EXPECT_NE(text.find(std::string(DiagnosticsLog::kMaxLine, 'x')), std::string::npos);
  EXPECT_EQ(text.find(std::string(DiagnosticsLog::kMaxLine + 1, 'x')), std::string::npos);

  log.Close();
  EXPECT_FALSE(log.IsOpen());
  text = testing_support::ReadText(path);
  EXPECT_NE(text.find("Orbisk ended. Time="), std::string::npos);
  log.Write("after close\n");
  EXPECT_EQ(testing_support::ReadText(path), text);
}

TEST(DiagnosticsLog, AFileThatCannotBeCreatedWarnsTheUser) {
  testing_support::TempDir dir;
  platform::MessageSink previous = platform::SetMessageSink(RecordMessage);
  DiagnosticsLog log;
  std::string folder = (dir.Path() / "missing").string();
  EXPECT_FALSE(log.Open(folder));
  platform::SetMessageSink(previous);
  EXPECT_FALSE(log.IsOpen());
  log.Write("x");  // a closed log takes every call
  log.WriteWide(L"x");
  log.WriteMemoryStatus();
  log.Close();
  EXPECT_EQ(seen.count, 1);
  EXPECT_EQ(seen.caption, "Warning");
  EXPECT_EQ(seen.text.rfind("Can't create log file=" + folder, 0), 0u) << seen.text;
}

TEST(DiagnosticsLog, TheDefaultFolderIsUsedWhenNoneIsGiven) {
  DiagnosticsLog log;
  ASSERT_TRUE(log.Open());
  std::string path = log.Path();
  log.Close();
  EXPECT_EQ(path.rfind(DefaultLogFolder(), 0), 0u);
  EXPECT_TRUE(std::filesystem::exists(path));
  std::filesystem::remove(path);
}
