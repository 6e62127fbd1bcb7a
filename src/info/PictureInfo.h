// glib::FlmPictureInfo: what is known about a file, as an ordered list of name/value
// rows in groups. It is built from the file information record a format plug-in
// returns (the format's own items, the embedded EXIF and IPTC metadata) or, when no
// image information can be read, from the file system. The information panel and the
// export read the same rows.
//
// A group header is a row whose name is the title in square brackets ("[EXIF]") and
// whose value is the group's icon number in decimal. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FileInfoRecord.h"
#include "formats/Retcode.h"

namespace glib {

class Film;

// Icon numbers of the groups.
enum InfoGroup : int {
  kGroupCommon = 0,
  kGroupFolder = 1,
  kGroupFile = 2,
  kGroupMetadata = 3,
  kGroupExif = 4,
  kGroupIptc = 5,
  kGroupJpeg = 6,
  kGroupTiff = 7,
  kGroupPng = 8,
  kGroupJng = 9,
  kGroupMng = 10,
  kGroupLoadError = 11,
};

class FlmPictureInfo {
 public:
  // Values are formatted into this many characters and cut there.
  static constexpr size_t kValueLimit = 1948;
  // Comments of some formats are cut to this many characters.
  static constexpr size_t kCommentLimit = 1000;

  FlmPictureInfo() = default;
  virtual ~FlmPictureInfo();
  FlmPictureInfo(const FlmPictureInfo&) = delete;
  FlmPictureInfo& operator=(const FlmPictureInfo&) = delete;

  // Unless fileOnly, asks for the file's information record (through `film`, or a
  // temporary Film) and builds the image information from it; the record goes to
  // `record` when asked for, else it is released. Without a record (or with
  // fileOnly) builds the file-system information. False when nothing was built (the
  // path does not exist). `rc`, when asked for, says why there is no image information
  // (RCOK when there is).
  bool BuildForPath(std::u16string_view path, Film* film = nullptr, bool fileOnly = false,
                    FileInfoRecord** record = nullptr, ERetcode* rc = nullptr);
  // The image information of a record; "File path" only when a path is given.
  void BuildFromRecord(const FileInfoRecord& record, std::u16string_view path = {});

  void AddGroup(int icon, std::string_view title);
  void AddItem(std::string_view name, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
      ;
  // A UTF-16 name and value, stored as UTF-8.
  void AddItemW(std::u16string_view name, std::u16string_view value);
  // An item whose value is taken as it is (cut at the value limit).
  void AddText(std::string_view name, std::string_view value);
  void Clear();

  void SetDetailed(bool detailed) { detailed_ = detailed; }
  bool Detailed() const { return detailed_; }

  size_t Size() const { return names_.size(); }
  const std::string& Name(size_t index) const { return names_[index]; }
  const std::string& Value(size_t index) const { return values_[index]; }
  // The shell icon of the file or folder (an HICON on Windows), owned by the model.
  void* Icon() const { return icon_; }

 protected:
  // Called at the end of every build; the panel rebuilds its list here.
  virtual void Refresh() {}

 private:
  bool BuildFileSystemInfo(std::u16string_view path);
  void AddFileSize(uint64_t size);
  void AddModified(int64_t time);
  void AddFormatItems(const FileInfoRecord& record);
  void AddCompression(const FileInfoRecord& record);
  void AddMetadata(const FileInfoRecord& record);

  std::vector<std::string> names_;
  std::vector<std::string> values_;
  bool detailed_ = false;
  void* icon_ = nullptr;
};

// Value texts, exposed for the tests and the export.
std::string FileSizeText(uint64_t size);
// The general compression table (codes of the file information record).
const char* GeneralCompressionName(int32_t code);
// The TIFF Compression tag's names; "#<value>" for an unknown value.
std::string TiffCompressionName(int32_t value);
// "4:1:1 (22:11:11)" from per-component sampling bytes (horizontal << 4 | vertical).
std::string JpegSubsamplingText(const uint8_t* sampling, uint32_t components);

}  // namespace glib
