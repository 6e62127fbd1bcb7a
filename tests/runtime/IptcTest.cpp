#include "runtime/Iptc.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "formats/MemStream.h"
#include "support/Exiftool.h"
#include "support/TestSupport.h"

using Libiptc::IPTC;

namespace {

using Bytes = std::vector<uint8_t>;

// One dataset with a plain 2-byte length.
void Put(Bytes& out, uint8_t record, uint8_t dataset, std::string_view value) {
  out.insert(out.end(), {0x1C, record, dataset, uint8_t(value.size() >> 8), uint8_t(value.size())});
  out.insert(out.end(), value.begin(), value.end());
}

glib::ERetcode Load(IPTC& iptc, Bytes bytes) {
  VMemStream stream(bytes.data(), bytes.size());
  return iptc.LoadFromStream(&stream);
}

struct Row {
  std::string name, value;
  bool operator==(const Row&) const = default;
  friend void PrintTo(const Row& r, std::ostream* os) { *os << r.name << " = " << r.value; }
};

std::vector<Row> Rows(const IPTC& iptc) {
  std::vector<Row> rows;
  for (uint32_t i = 0; i < iptc.GetSize(); ++i) {
    Row r;
    if (iptc.GetPrintableItem(i, r.name, r.value)) rows.push_back(r);
  }
  return rows;
}

// A Photoshop resource with an empty name.
void PutResource(Bytes& out, uint16_t id, const Bytes& data) {
  out.insert(out.end(), {'8', 'B', 'I', 'M', uint8_t(id >> 8), uint8_t(id), 0, 0});
  const uint32_t n = uint32_t(data.size());
  out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  out.insert(out.end(), data.begin(), data.end());
  if (n % 2) out.push_back(0);
}

}  // namespace

TEST(Iptc, NamesNumbersDatesAndTimes) {
  Bytes b;
  Put(b, 1, 0, std::string("\0\4", 2));
  Put(b, 1, 5, "Desk");
  Put(b, 1, 70, "20240507");
  Put(b, 1, 80, "083000+0100");
  Put(b, 2, 0, std::string("\0\4", 2));
  Put(b, 2, 5, "Dom");
  Put(b, 2, 10, "3");
  Put(b, 2, 55, "20240506");
  Put(b, 2, 60, "123456-0230");
  Put(b, 2, 131, "L");
  Put(b, 2, 101, "Deutschland");
  Put(b, 2, 199, "odd");
  Put(b, 2, 202, "\x89PNG");
  Put(b, 8, 10, "pixels");
  IPTC iptc;
  ASSERT_EQ(Load(iptc, b), glib::RCOK);
  EXPECT_EQ(iptc.GetSize(), 14u);
  EXPECT_EQ(iptc.GetRecord(13), 8);
  EXPECT_EQ(iptc.GetDataset(12), 202);
  const std::vector<Row> expected = {
      {"Envelope Record Version", "4"},
      {"Destination", "Desk"},
      {"Date Sent", "2024:05:07"},
      {"Time Sent", "08:30:00+01:00"},
      {"Record Version", "4"},
      {"Object Name", "Dom"},
      {"Urgency", "3"},
      {"Date Created", "2024:05:06"},
      {"Time Created", "12:34:56-02:30"},
      {"Image Orientation", "L"},
      {"Country/Primary Location Name", "Deutschland"},
      {"Record 2:199", "odd"},
  };
  EXPECT_EQ(Rows(iptc), expected) << "preview data and record 8 are not printable";
  std::string name, value;
  EXPECT_FALSE(iptc.GetPrintableItem(14, name, value));

  // Dates and times that do not have the stored form stay as they are.
  Bytes odd;
  Put(odd, 2, 55, "2024-5-6");
  Put(odd, 2, 60, "1234");
  ASSERT_EQ(Load(iptc, odd), glib::RCOK);
  EXPECT_EQ(Rows(iptc), (std::vector<Row>{{"Date Created", "2024-5-6"}, {"Time Created", "1234"}}));
}

TEST(Iptc, RepeatedDatasetsStayApart) {
  Bytes b;
  for (const char* k : {"alpha", "beta", "alpha"}) Put(b, 2, 25, k);
  Put(b, 2, 80, "Anna");
  Put(b, 2, 80, "Ben");
  IPTC iptc;
  ASSERT_EQ(Load(iptc, b), glib::RCOK);
  EXPECT_EQ(Rows(iptc), (std::vector<Row>{{"Keywords", "alpha"},
                                          {"Keywords", "beta"},
                                          {"Keywords", "alpha"},
                                          {"By-line", "Anna"},
                                          {"By-line", "Ben"}}));
}

TEST(Iptc, TextsAreUtf8OrLatin1AsTheEnvelopeSays) {
  Bytes latin;
  Put(latin, 2, 90, "Z\xFCrich");
  IPTC iptc;
  ASSERT_EQ(Load(iptc, latin), glib::RCOK);
  EXPECT_EQ(Rows(iptc), (std::vector<Row>{{"City", "Z\xC3\xBCrich"}}));

  Bytes utf8;
  Put(utf8, 1, 90, "\x1B%G");
  Put(utf8, 2, 90, "Z\xC3\xBCrich");
  // A stray continuation byte, a cut sequence and an overlong form are replaced.
  Put(utf8, 2, 120,
      "a\x80"
      "b\xE2\x82"
      "c\xC0\xAF"
      "d\xE0\x80\xAF");
  ASSERT_EQ(Load(iptc, utf8), glib::RCOK);
  EXPECT_EQ(Rows(iptc),
            (std::vector<Row>{
                {"Coded Character Set", "UTF8"},
                {"City", "Z\xC3\xBCrich"},
                {"Caption/Abstract", "a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFDd\uFFFD\uFFFD\uFFFD"}}));
}

TEST(Iptc, PhotoshopResourcesGiveTheirIimBlock) {
  Bytes iim;
  Put(iim, 2, 25, "sea");
  Bytes wrapped(std::begin("Photoshop 3.0"), std::end("Photoshop 3.0"));
  PutResource(wrapped, 0x03ED, Bytes(17, 0xAB));  // odd size: padded
  PutResource(wrapped, 0x0404, iim);
  IPTC iptc;
  ASSERT_EQ(Load(iptc, wrapped), glib::RCOK);
  EXPECT_EQ(Rows(iptc), (std::vector<Row>{{"Keywords", "sea"}}));

  // Bare resources read the same; resources without the IIM one are not supported.
  Bytes bare(wrapped.begin() + 14, wrapped.end());
  ASSERT_EQ(Load(iptc, bare), glib::RCOK);
  Bytes none;
  PutResource(none, 0x03ED, Bytes(4, 0));
  EXPECT_EQ(Load(iptc, none), glib::NSUP);
  // A resource claiming more than the block ends the search.
  Bytes cut = wrapped;
  cut.resize(cut.size() - 3);
  EXPECT_NE(Load(iptc, cut), glib::RCOK);
}

TEST(Iptc, TruncationAndGarbageKeepWhatWasRead) {
  Bytes b;
  Put(b, 2, 25, "one");
  Put(b, 2, 25, "two");
  IPTC iptc;
  Bytes cut(b.begin(), b.end() - 1);  // the second dataset claims one byte too many
  ASSERT_EQ(Load(iptc, cut), glib::RCOK);
  EXPECT_EQ(iptc.GetSize(), 1u);

  Bytes garbage = b;
  garbage.insert(garbage.begin() + 8, {0x00, 0x00});  // between the datasets
  ASSERT_EQ(Load(iptc, garbage), glib::RCOK);
  EXPECT_EQ(iptc.GetSize(), 1u);

  ASSERT_EQ(Load(iptc, b), glib::RCOK);
  EXPECT_EQ(iptc.GetSize(), 2u) << "exactly filling the block is fine";

  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 25, 0}), glib::BADI);
  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 25, 0, 9, 'a'}), glib::BADI);
  EXPECT_EQ(Load(iptc, Bytes{'h', 'e', 'l', 'l', 'o'}), glib::NSUP);
  EXPECT_EQ(Load(iptc, Bytes{}), glib::NSUP);
  EXPECT_EQ(iptc.GetSize(), 0u);
}

TEST(Iptc, ExtendedLengthsAreBoundedByTheBlock) {
  Bytes b{0x1C, 2, 120, 0x80, 0x04, 0, 0, 0, 3, 'b', 'i', 'g'};
  Put(b, 2, 25, "after");
  IPTC iptc;
  ASSERT_EQ(Load(iptc, b), glib::RCOK);
  EXPECT_EQ(Rows(iptc), (std::vector<Row>{{"Caption/Abstract", "big"}, {"Keywords", "after"}}));

  // Claims 4 GiB; more length octets than a 32-bit size; no length octets at all.
  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 120, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}), glib::BADI);
  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 120, 0x80, 0x05, 0, 0, 0, 0, 1, 'x'}), glib::BADI);
  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 120, 0x80, 0x00, 'x'}), glib::BADI);
  EXPECT_EQ(Load(iptc, Bytes{0x1C, 2, 120, 0x80, 0x04, 0, 0}), glib::BADI);
}

// ---------------------------------------------------------------------------
// exiftool as an independent reader of the same file.

namespace {

// The payload of the JPEG's APP13 segment (a Photoshop resource block).
Bytes App13(const std::string& jpeg) {
  for (size_t at = 2; at + 4 <= jpeg.size() && uint8_t(jpeg[at]) == 0xFF;) {
    const uint8_t marker = uint8_t(jpeg[at + 1]);
    const size_t length = uint8_t(jpeg[at + 2]) << 8 | uint8_t(jpeg[at + 3]);
    if (marker == 0xED && at + 2 + length <= jpeg.size())
      return Bytes(jpeg.begin() + at + 4, jpeg.begin() + at + 2 + length);
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return {};
}

// exiftool's names of envelope datasets; every other IPTC tag is from record 2.
bool IsEnvelope(const std::string& key) {
  static const char* const kEnvelope[] = {"EnvelopeRecordVersion",
                                          "Destination",
                                          "FileFormat",
                                          "FileVersion",
                                          "ServiceIdentifier",
                                          "EnvelopeNumber",
                                          "ProductID",
                                          "EnvelopePriority",
                                          "DateSent",
                                          "TimeSent",
                                          "CodedCharacterSet",
                                          "UniqueObjectName",
                                          "ARMIdentifier",
                                          "ARMVersion"};
  for (const char* name : kEnvelope) {
    if (key == name) return true;
  }
  return false;
}

std::string WithoutColons(std::string s) {
  std::erase(s, ':');
  return s;
}

}  // namespace

TEST(Iptc, AgreesWithExiftool) {
  if (!testing_support::HaveExiftool()) GTEST_SKIP() << "no exiftool";
  const std::string path = (testing_support::DataDir() / "info" / "iptc.jpg").string();
  const Bytes block = App13(testing_support::ReadFile(path));
  ASSERT_FALSE(block.empty());
  IPTC iptc;
  ASSERT_EQ(iptc.LoadFromBytes(block), glib::RCOK);

  // Our rows by record and dataset, repeats joined as exiftool prints a list.
  std::map<std::pair<int, int>, std::string> ours;
  for (uint32_t i = 0; i < iptc.GetSize(); ++i) {
    std::string name, value;
    if (!iptc.GetPrintableItem(i, name, value)) continue;
    std::string& row = ours[{iptc.GetRecord(i), iptc.GetDataset(i)}];
    row += (row.empty() ? "" : ", ") + value;
  }
  auto printed = testing_support::Exiftool("-IPTC:all", path);
  auto numeric = testing_support::Exiftool("-n -IPTC:all", path);
  ASSERT_EQ(printed.size(), numeric.size());
  size_t compared = 0;
  for (size_t i = 0; i < numeric.size(); ++i) {
    const testing_support::ExiftoolTag& tag = numeric[i];
    if (tag.group != "IPTC") continue;
    SCOPED_TRACE(tag.name);
    auto found = ours.find({IsEnvelope(tag.name) ? 1 : 2, tag.id});
    ASSERT_NE(found, ours.end());
    // The character set in its printed form; dates without separators; the rest as
    // texts (numbers print the same either way).
    const std::string& theirs = tag.name == "CodedCharacterSet" ? printed[i].value : tag.value;
    if (tag.name.find("Date") != std::string::npos) {
      EXPECT_EQ(WithoutColons(found->second), WithoutColons(theirs));
    } else {
      EXPECT_EQ(found->second, theirs);
    }
    ++compared;
  }
  EXPECT_EQ(compared, ours.size()) << "every dataset of the file was compared";
}
