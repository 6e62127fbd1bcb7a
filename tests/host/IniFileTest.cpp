#include "host/IniFile.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Module.h"
#include "support/TestSupport.h"

using namespace host;
using namespace std::literals;

namespace {

IniFile Parse(std::string_view text) {
  IniFile ini;
  ini.LoadFromMemory(text);
  return ini;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> SectionNames(const IniFile& ini) {
  std::vector<std::string> names;
  for (const IniSection& section : ini.Sections()) names.push_back(section.name);
  return names;
}

}  // namespace

TEST(IniFile, LineClassesDecideWhatIsRead) {
  IniFile ini = Parse(
      "orphan=1\n"  // before any section: dropped
      "[[ \t Main \x01]\n"
      "; comment=1\n"
      " indented=1\n"
      "\n"
      "1digit=1\n"
      "=5\n"
      "key=1\n"
      "Key=2\n"
      "+plus=3\n"
      "[Open\n"
      "*star==4\n"
      "[Main]\n"
      "key=9\n");
  EXPECT_EQ(SectionNames(ini), (std::vector<std::string>{"Main", "Open", "Main"}));
  ASSERT_EQ(ini.Sections()[0].items.size(), 3u);
  EXPECT_EQ(ini.GetInt("Main", "key", 0, -1), 1) << "the first section of a name wins";
  EXPECT_EQ(ini.GetInt("Main", "Key", 0, -1), 2) << "keys differ by case";
  EXPECT_EQ(ini.GetInt("Main", "+plus", 0, -1), 3);
  EXPECT_EQ(ini.GetInt("Open", "*star", 0, -1), 4) << "a run of '=' is one separator";
  EXPECT_EQ(ini.GetInt("Main", "orphan", 0, -1), -1);
  EXPECT_EQ(ini.GetInt("Main", "1digit", 0, -1), -1);
}

TEST(IniFile, HandEditedValuesReadByTheirFirstCharacter) {
  IniFile ini = Parse(
      "[S]\n"
      "hex=#ff, #0x1A ,#-1,#123456789A,#zz\n"
      "dec= -12 ,,, 7x, abc ,99999999999\n"
      "quoted=\"a,b\",\"x\"\"\n"
      "float=^0_25,^1.5,^-2e3\n"
      "empty=\n"
      "noequals\r\n");
  const IniItem* hex = ini.FindItem("S", "hex");
  ASSERT_NE(hex, nullptr);
  ASSERT_EQ(hex->values.size(), 5u);
  EXPECT_EQ(hex->values[0].integer, 255);
  EXPECT_EQ(hex->values[1].integer, 26);
  EXPECT_EQ(hex->values[2].integer, -1);
  EXPECT_EQ(uint32_t(hex->values[3].integer), 0xFFFFFFFFu) << "saturates";
  EXPECT_EQ(hex->values[4].integer, 0);
  for (const IniValue& v : hex->values) EXPECT_EQ(v.type, IniValueType::kHex);

  const IniItem* dec = ini.FindItem("S", "dec");
  ASSERT_EQ(dec->values.size(), 4u) << "runs of commas are one separator";
  EXPECT_EQ(dec->values[0].integer, -12);
  EXPECT_EQ(dec->values[1].integer, 7);
  EXPECT_EQ(dec->values[2].integer, 0);
  EXPECT_EQ(dec->values[3].integer, INT32_MAX);

  // A quoted comma splits the string; the second half is no string at all.
  EXPECT_EQ(ini.GetString("S", "quoted", 0, "?"), "a");
  EXPECT_EQ(ini.FindItem("S", "quoted")->values[1].type, IniValueType::kDecimal);
  EXPECT_EQ(ini.GetString("S", "quoted", 2, "?"), "x\"");

  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 0, 0), 0.25);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 1, 0), 1.5) << "'.' is the C locale's point";
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 2, 0), -2000);

  ASSERT_NE(ini.FindItem("S", "empty"), nullptr);
  EXPECT_TRUE(ini.FindItem("S", "empty")->values.empty());
  ASSERT_NE(ini.FindItem("S", "noequals"), nullptr);
}

TEST(IniFile, AValueThatIsOnlyItsMarkDropsItsLine) {
  IniFile ini = Parse("[S]\na=#\nb=1,\"\nc=^ ,2\nd=\"\",#1\n");
  EXPECT_EQ(ini.FindItem("S", "a"), nullptr);
  EXPECT_EQ(ini.FindItem("S", "b"), nullptr);
  EXPECT_EQ(ini.FindItem("S", "c"), nullptr);
  EXPECT_EQ(ini.GetString("S", "d", 0, "?"), "");
  EXPECT_EQ(ini.GetInt("S", "d", 1, 0), 1);
}

TEST(IniFile, GettersGiveTheDefaultForOtherTypesAndMissingValues) {
  IniFile ini = Parse("[S]\nv=\"s\",5,#6,^7\n");
  EXPECT_EQ(ini.GetInt("S", "v", 0, -1), -1);
  EXPECT_EQ(ini.GetInt("S", "v", 1, -1), 5);
  EXPECT_EQ(ini.GetInt("S", "v", 2, -1), 6);
  EXPECT_EQ(ini.GetInt("S", "v", 3, -1), -1);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "v", 1, -1), -1);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "v", 3, -1), 7);
  EXPECT_EQ(ini.GetString("S", "v", 1, "d"), "d");
  EXPECT_EQ(ini.GetInt("S", "v", 4, -1), -1);
  EXPECT_EQ(ini.GetInt("S", "v", -1, -1), -1);
  EXPECT_EQ(ini.GetInt("s", "v", 1, -1), -1);
  EXPECT_EQ(ini.GetInt("S", "V", 1, -1), -1);
}

TEST(IniFile, SettersKeepTheStoredTypeAndPadUpToTheIndex) {
  IniFile ini = Parse("[S]\nmixed=\"s\",5,^1\n");
  ini.SetInt("S", "mixed", 0, 9, true);  // a string is not replaced by a number
  ini.SetInt("S", "mixed", 1, 10, true);
  ini.SetString("S", "mixed", 1, "no");  // nor a number by a string
  ini.SetDouble("S", "mixed", 0, 2.5);   // a float replaces anything
  ini.SetInt("S", "mixed", 2, 3, false);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "mixed", 0, 0), 2.5);
  EXPECT_EQ(ini.GetInt("S", "mixed", 1, 0), 10);
  EXPECT_EQ(ini.FindItem("S", "mixed")->values[1].type, IniValueType::kHex);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "mixed", 2, 0), 1);

  ini.SetInt("S", "mixed", 5, 7, false);
  ini.SetString("S", "new", 3, "first");  // a new item takes the value at index 0
  ini.SetInt("T", "n", 0, 1, false);
  ini.SetInt("S", "mixed", IniFile::kMaxValueIndex + 1, 1, false);
  ini.SetInt("S", "mixed", -1, 1, false);
  EXPECT_EQ(ini.ToText(),
            "[S]\n"
            "mixed=^2_5,#A,^1,0,0,7\n"
            "new=\"first\"\n"
            "\n"
            "[T]\n"
            "n=1\n"
            "\n");
}

TEST(IniFile, WritesTheDocumentedLayout) {
  IniFile ini;
  ini.SetString("Settings", "Skin", 0, "*");
  ini.SetInt("Settings", "BackgroundColor", 0, -1, true);
  ini.SetDouble("Settings", "ZoomStep", 0, 0.1);
  ini.SetInt("Settings", "Pos", 0, -5, false);
  ini.SetInt("Settings", "Pos", 1, 200, false);
  ini.SetInt("Settings", "Hex", 0, 0xabc, true);
  ini.SetDouble("Settings", "Big", 0, 1234567.0);
  ini.SetString("Settings", "Broken", 0, "line\nbreak");
  ini.SetString("About", "Message", 0, "");
  EXPECT_EQ(ini.ToText(),
            "[Settings]\n"
            "Skin=\"*\"\n"
            "BackgroundColor=#FFFFFFFF\n"
            "ZoomStep=^0_1\n"
            "Pos=-5,200\n"
            "Hex=#ABC\n"
            "Big=^1_23457e+06\n"
            "Broken=\"line break\"\n"
            "\n"
            "[About]\n"
            "Message=\"\"\n"
            "\n");
  EXPECT_EQ(Parse(ini.ToText()).ToText(), ini.ToText());
}

TEST(IniFile, BinaryValuesAreHexadecimalDigitPairs) {
  IniFile ini;
  const uint8_t bytes[] = {0x00, 0x7F, 0x80, 0xFF};
  ini.SetBinary("S", "b", 0, bytes, sizeof bytes);
  EXPECT_EQ(ini.GetString("S", "b", 0, ""), "007F80FF");
  EXPECT_EQ(ini.GetBinary("S", "b", 0, {}), std::vector<uint8_t>(bytes, bytes + 4));

  IniFile edited = Parse("[S]\nlower=\"0aff7\"\ngarbage=\"G0!!\"\nnumber=12\n");
  EXPECT_EQ(edited.GetBinary("S", "lower", 0, {}), (std::vector<uint8_t>{0x0A, 0xFF}))
      << "lower case reads, an odd last digit is ignored";
  // Other characters count as their code minus '0': 'G' is 23, '!' is -15.
  EXPECT_EQ(edited.GetBinary("S", "garbage", 0, {}),
            (std::vector<uint8_t>{uint8_t(23 * 16), uint8_t(-15 * 16 - 15)}));
  EXPECT_EQ(edited.GetBinary("S", "number", 0, {9}), std::vector<uint8_t>{9});
}

TEST(IniFile, LongLinesAreCutNotSplit) {
  std::string line = "[S]\nlong=\"" + std::string(5000, 'x') + "\"\nnext=1\n";
  IniFile ini = Parse(line);
  EXPECT_EQ(ini.GetString("S", "long", 0, "").size(), IniFile::kMaxLineLength - 6);
  EXPECT_EQ(ini.Sections()[0].items.size(), 2u);
  EXPECT_EQ(ini.GetInt("S", "next", 0, 0), 1);
  // A NUL ends the line's text, as it ends a C string.
  EXPECT_EQ(Parse("[S]\na=1\0b=2\nc=3\n"sv).ToText(), "[S]\na=1\nc=3\n\n");
}

TEST(IniFile, LoadAndSaveFiles) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.ini");
  IniFile ini;
  EXPECT_FALSE(ini.Save(path, true)) << "no sections, no file";
  EXPECT_FALSE(std::filesystem::exists(path));

  {
    std::ofstream out(path, std::ios::binary);
    out << "[S]\r\nv=#1F,\"p\"\r\n";
  }
  ASSERT_TRUE(ini.Load(path, true));
  EXPECT_EQ(ini.GetInt("S", "v", 0, 0), 31);
  EXPECT_EQ(ini.GetString("S", "v", 1, ""), "p");
  ASSERT_TRUE(ini.Save(path, true));
  std::string written = ReadFile(path);
  EXPECT_TRUE(written == "[S]\nv=#1F,\"p\"\n\n" || written == "[S]\r\nv=#1F,\"p\"\r\n\r\n")
      << written;

  EXPECT_FALSE(ini.Save(dir.File("no/such/folder.ini"), true));
  EXPECT_FALSE(ini.Load(dir.File("missing.ini"), true));
  EXPECT_TRUE(ini.Sections().empty());

  {
    std::ofstream out(path, std::ios::binary);
    out << "[S]\n" << std::string(IniFile::kMaxFileSize, ';');
  }
  EXPECT_FALSE(ini.Load(path, true));
  EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniFile, RelativePathsAreTakenFromTheLibraryFolder) {
  static const char anchor = 0;
  std::string folder = platform::ModuleFolder(&anchor);
  ASSERT_FALSE(folder.empty());
  std::string name = "inifile-test-" + std::to_string(std::rand()) + ".ini";
  IniFile ini;
  ini.SetInt("S", "k", 0, 1, false);
  ASSERT_TRUE(ini.Save(name, false));
  EXPECT_TRUE(std::filesystem::exists(folder + name));
  IniFile back;
  EXPECT_TRUE(back.Load(folder + name, true));
  EXPECT_EQ(back.GetInt("S", "k", 0, 0), 1);
  std::remove((folder + name).c_str());
}

TEST(IniFile, FloatsUseTheUnderscoreWhateverTheLocale) {
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE", "German_Germany.1252", "German"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      comma = name;
      break;
    }
  }
  if (!comma || std::localeconv()->decimal_point[0] != ',') {
    std::setlocale(LC_NUMERIC, "C");
    GTEST_SKIP() << "no locale with a decimal comma";
  }
  IniFile ini = Parse("[S]\nu=^0_5\ndot=^0.5\n");
  ini.SetDouble("S", "w", 0, 0.1);
  std::string text = ini.ToText();
  double u = ini.GetDouble("S", "u", 0, -1);
  double dot = ini.GetDouble("S", "dot", 0, -1);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(ini.DecimalPoint(), ',');
  EXPECT_DOUBLE_EQ(u, 0.5);
  EXPECT_DOUBLE_EQ(dot, 0.0) << "'.' is not this locale's point";
  EXPECT_NE(text.find("w=^0_1\n"), std::string::npos) << text;
}
