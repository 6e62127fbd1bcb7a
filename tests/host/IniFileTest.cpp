#include "host/IniFile.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
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

}  // namespace

TEST(IniFile, LineClassesDecideWhatIsRead) {
  IniFile ini = Parse(
      "orphan=1\n"  // before any section: dropped
      "[[ \t Main \x01]\n"
      "; comment=1\n"
      " indented=1\n"
      "1digit=1\n"
      "=5\n"
      "key=1\n"
      "Key=2\n"
      "a=#\n"  // a mark alone drops its line
      "b=1,\"\n"
      "c=^ ,2\n"
      "[Open\n"
      "*star==4,\"\"\n"
      "[Main]\n"
      "key=9\n");
  ASSERT_EQ(ini.Sections().size(), 3u);
  EXPECT_EQ(ini.Sections()[0].name, "Main");
  EXPECT_EQ(ini.Sections()[1].name, "Open");
  EXPECT_EQ(ini.Sections()[0].items.size(), 2u);
  EXPECT_EQ(ini.GetInt("Main", "key", 0, -1), 1) << "the first section of a name wins";
  EXPECT_EQ(ini.GetInt("Main", "Key", 0, -1), 2) << "keys differ by case";
  EXPECT_EQ(ini.GetInt("Open", "*star", 0, -1), 4) << "a run of '=' is one separator";
  EXPECT_EQ(ini.GetString("Open", "*star", 1, "?"), "");
}

TEST(IniFile, HandEditedValuesReadByTheirFirstCharacter) {
  IniFile ini = Parse(
      "[S]\n"
      "hex=#ff, #0x1A ,#-1,#123456789A,#zz\n"
      "dec= -12 ,,, 7x, abc ,99999999999\n"
      "quoted=\"a,b\",\"x\"\"\n"
      "float=^0_25,^1.5,^-2e3\n"
      "empty=\r\n");
  std::vector<int32_t> hex, dec;
  for (const IniValue& v : ini.FindItem("S", "hex")->values) hex.push_back(v.integer);
  for (const IniValue& v : ini.FindItem("S", "dec")->values) dec.push_back(v.integer);
  EXPECT_EQ(hex, (std::vector<int32_t>{255, 26, -1, -1, 0})) << "too many digits saturate";
  EXPECT_EQ(dec, (std::vector<int32_t>{-12, 7, 0, INT32_MAX})) << "runs of commas are one";
  EXPECT_EQ(ini.FindItem("S", "hex")->values[0].type, IniValueType::kHex);

  // A quoted comma splits the string; the second half is no string at all.
  EXPECT_EQ(ini.GetString("S", "quoted", 0, "?"), "a");
  EXPECT_EQ(ini.GetString("S", "quoted", 1, "?"), "?");
  EXPECT_EQ(ini.GetInt("S", "quoted", 1, -1), 0);
  EXPECT_EQ(ini.GetString("S", "quoted", 2, "?"), "x\"");

  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 0, 0), 0.25);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 1, 0), 1.5) << "'.' is the C locale's point";
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "float", 2, 0), -2000);
  EXPECT_DOUBLE_EQ(ini.GetDouble("S", "dec", 0, -1), -1) << "other types give the default";
  EXPECT_EQ(ini.GetInt("S", "dec", 4, -1), -1);
  EXPECT_EQ(ini.GetInt("S", "dec", -1, -1), -1);
  EXPECT_TRUE(ini.FindItem("S", "empty")->values.empty());
}

TEST(IniFile, SettersKeepTheStoredTypeAndPadUpToTheIndex) {
  IniFile ini = Parse("[S]\nmixed=\"s\",5,^1\n");
  ini.SetInt("S", "mixed", 0, 9, true);  // a string is not replaced by a number
  ini.SetInt("S", "mixed", 1, 10, true);
  ini.SetString("S", "mixed", 1, "no");  // nor a number by a string
  ini.SetDouble("S", "mixed", 0, 2.5);   // a float replaces anything
  ini.SetInt("S", "mixed", 2, 3, false);
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

TEST(IniFile, WritesSectionsKeysAndValuesInTheirLayout) {
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
  IniFile ini = Parse("[S]\nlower=\"0aff7\"\ngarbage=\"G0!!\"\nnumber=12\n");
  const uint8_t bytes[] = {0x00, 0x7F, 0x80, 0xFF};
  ini.SetBinary("S", "b", 0, bytes, sizeof bytes);
  EXPECT_EQ(ini.GetString("S", "b", 0, ""), "007F80FF");
  EXPECT_EQ(ini.GetBinary("S", "b", 0, {}), std::vector<uint8_t>(bytes, bytes + 4));
  EXPECT_EQ(ini.GetBinary("S", "lower", 0, {}), (std::vector<uint8_t>{0x0A, 0xFF}))
      << "lower case reads, an odd last digit is ignored";
  // Other characters count as their code minus '0': 'G' is 23, '!' is -15.
  EXPECT_EQ(ini.GetBinary("S", "garbage", 0, {}),
            (std::vector<uint8_t>{uint8_t(23 * 16), uint8_t(-15 * 16 - 15)}));
  EXPECT_EQ(ini.GetBinary("S", "number", 0, {9}), std::vector<uint8_t>{9});
}

// A line is read 4095 characters at a time: what follows is read as a line of its own
// (an item here, since it begins with a letter; a digit would make it ignored).
TEST(IniFile, LongLinesGoOnAsTheNextLine) {
  IniFile ini = Parse("[S]\nlong=\"" + std::string(5000, 'x') + "\"\nnext=1\n");
  EXPECT_EQ(ini.GetString("S", "long", 0, "").size(), IniFile::kMaxLineLength - 6);
  ASSERT_EQ(ini.Sections()[0].items.size(), 3u);
  EXPECT_EQ(ini.Sections()[0].items[1].name, std::string(5000 + 6 - 4095, 'x') + "\"");
  EXPECT_EQ(ini.GetInt("S", "next", 0, 0), 1);
  IniFile digits = Parse("[S]\nv=" + std::string(4093, 'a') + "7=3\n");
  EXPECT_EQ(digits.Sections()[0].items.size(), 1u) << "a piece beginning with a digit is skipped";
  // A NUL ends the line's text, as it ends a C string.
  EXPECT_EQ(Parse("[S]\na=1\0b=2\nc=3\n"sv).ToText(), "[S]\na=1\nc=3\n\n");
}

TEST(IniFile, LoadAndSaveFiles) {
  testing_support::TempDir dir;
  std::string path = dir.File("a.ini");
  IniFile ini;
  EXPECT_FALSE(ini.Save(path, true)) << "no sections, no file";
  EXPECT_FALSE(std::filesystem::exists(path));

  std::ofstream(path, std::ios::binary) << "[S]\r\nv=#1F,\"p\"\r\n";
  ASSERT_TRUE(ini.Load(path, true));
  EXPECT_EQ(ini.GetInt("S", "v", 0, 0), 31);
  EXPECT_EQ(ini.GetString("S", "v", 1, ""), "p");
  EXPECT_FALSE(ini.Save(dir.File("no/such/folder.ini"), true));

  // A relative name is taken from the folder of the library (here the test program).
  static const char anchor = 0;
  std::string name = "inifile-test-" + dir.Path().filename().string() + ".ini";
  std::string besideLibrary = platform::ModuleFolder(&anchor) + name;
  ASSERT_TRUE(ini.Save(name, false));
  std::ifstream in(besideLibrary, std::ios::binary);
  std::string written(std::istreambuf_iterator<char>(in), {});
  EXPECT_TRUE(written == "[S]\nv=#1F,\"p\"\n\n" || written == "[S]\r\nv=#1F,\"p\"\r\n\r\n")
      << written;
  in.close();
  std::remove(besideLibrary.c_str());

  EXPECT_FALSE(ini.Load(dir.File("missing.ini"), true));
  EXPECT_TRUE(ini.Sections().empty());
  std::ofstream(path, std::ios::binary) << "[S]\n" << std::string(IniFile::kMaxFileSize, ';');
  EXPECT_FALSE(ini.Load(path, true)) << "too large to be a settings file";
}

TEST(IniFile, FloatsReadAsInTheLocaleOfTheirPoint) {
  // Read under a locale with a decimal comma, '.' ends the number; '_' is the point
  // in every locale, and writing never uses the locale's character.
  IniFile comma(',');
  comma.LoadFromMemory("[S]\nu=^0_5\ndot=^0.5\nbig=^-2e3\n");
  EXPECT_DOUBLE_EQ(comma.GetDouble("S", "u", 0, -1), 0.5);
  EXPECT_DOUBLE_EQ(comma.GetDouble("S", "dot", 0, -1), 0.0);
  EXPECT_DOUBLE_EQ(comma.GetDouble("S", "big", 0, -1), -2000);
  comma.SetDouble("S", "w", 0, 0.1);
  comma.SetDouble("S", "x", 0, 1234567.0);
  EXPECT_NE(comma.ToText().find("w=^0_1\n"), std::string::npos) << comma.ToText();
  EXPECT_NE(comma.ToText().find("x=^1_23457e+06\n"), std::string::npos) << comma.ToText();

  IniFile dot('.');
  dot.LoadFromMemory("[S]\nu=^0_5\ndot=^0.5\n");
  EXPECT_DOUBLE_EQ(dot.GetDouble("S", "u", 0, -1), 0.5);
  EXPECT_DOUBLE_EQ(dot.GetDouble("S", "dot", 0, -1), 0.5);
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
