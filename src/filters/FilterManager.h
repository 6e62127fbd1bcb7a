// The format filter plug-in manager: loads the plug-in modules, keeps the formats
// they announce, identifies the format of a file, stream or memory block (signature
// masks, detector callbacks, extension), dispatches load, thumbnail, information and
// save requests to the right plug-in, and builds the file-dialog filter strings.
//
// One manager serves the process (Global()); each Film reaches it through its
// FilterAccess. The manager takes no locks: it is used from the window thread and
// the one load worker that runs at a time. Work on a thread of another kind (the
// file manager's thumbnails) goes through a manager of its own, on a Film made for it. Every operation except Configure loads
// the plug-ins first when no format is known yet, so a module that failed to load
// is tried again later.
//
// Module names: Configure appends "64" in the 64-bit Windows build (and ".dll") to
// each name given without an extension, so "vexlo" loads vexlo.dll or vexlo64.dll
// and both bitnesses share one folder; natively the loader maps ".dll" to ".so".
// The colour-effect module follows the same rule (cef.dll, cef64.dll).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ClbData.h"
#include "formats/CoreBitmap.h"
#include "formats/FilterExtItem.h"
#include "formats/FilterFormatDesc.h"
#include "formats/GenArray.h"
#include "formats/GenString.h"
#include "formats/ImageDataExchange.h"
#include "formats/ImageSave.h"
#include "formats/SaveQuery.h"
#include "platform/Abi.h"
#include "platform/Module.h"

struct VStream;

namespace glib {

class FilterManager;

// "ApplyColorEffect" of the colour-effect module: the layer's bitmap, the effect
// number, its parameter list (or null), the progress callback and record (or null).
using ApplyColorEffectEntry = uint32_t(ORBISK_CDECL*)(CoreBitmap* bitmap, uint32_t effect,
                                                      const void* params, ProgressCallback progress,
                                                      ClbData* data);

// A Film's handle to the manager; it also owns the colour-effect module once loaded.
struct FilterAccess {
  void* owner = nullptr;  // the owning Film's state block
  platform::ModuleHandle effectModule = nullptr;
  ApplyColorEffectEntry applyColorEffect = nullptr;
  FilterManager* manager;

  FilterAccess();  // on the process-wide manager
  explicit FilterAccess(FilterManager& filterManager) : manager(&filterManager) {}
  ~FilterAccess() { platform::UnloadModule(effectModule); }
  FilterAccess(const FilterAccess&) = delete;
  FilterAccess& operator=(const FilterAccess&) = delete;
};

ORBISK_LAYOUT_SIZE(FilterAccess, 16);

class FilterManager {
 public:
  using ExtItem = FilterExtItem;
  // Selects the formats a filter string lists; null lists all.
  using Predicate = std::function<bool(const FilterFormatDesc&)>;
  // Reads the byte a Film hands to DeepProbe detectors, from the request's film field.
  using FilmProbeFlagReader = uint8_t (*)(const void* film);

  // A plug-in that keeps answering CFLT is stopped after this many redirections.
  static constexpr int kMaxRedirections = 16;
  static constexpr uint32_t kHeaderSize = 4096;
  // Masks, extension lists and filter texts from a plug-in are read up to this many
  // bytes; longer masks never match.
  static constexpr uint32_t kMaxPluginText = 65536;

  static FilterManager& Global();

  FilterManager();
  ~FilterManager();
  FilterManager(const FilterManager&) = delete;
  FilterManager& operator=(const FilterManager&) = delete;

  // Resets the manager: unloads every module, then keeps the folder (one trailing
  // separator removed; null means none) and the module names separated by line feeds.
  void Configure(const char* folder, const char* moduleNames);
  // (Re)loads every configured module and rebuilds the extension index.
  void Init(bool reload);
  // Loads one module and registers its formats; true when its formats are known.
  bool LoadFilter(std::string_view moduleName);

  FilterFormatDesc* FindById(uint32_t id);
  // By the extension of the path's file name (either case); null without one.
  FilterFormatDesc* FindByExtension(std::string_view path);

  // rc: MISS when the file cannot be opened or read, else NSUP (also on success).
  FilterFormatDesc* DetectFromFile(const void* path, bool wide, uint32_t& rc,
                                   uint8_t probeFlag = 0);
  // rc: NSUP (also on success); the stream's position is kept.
  FilterFormatDesc* DetectFromStream(VStream* stream, uint32_t& rc, uint8_t probeFlag = 0);
  FilterFormatDesc* DetectFromMemory(const void* data, uint32_t size, uint32_t hint);

  // Dispatches; path is 8-bit or UTF-16 as the request says, params pass through.
  uint32_t LoadImageData(const void* path, ImageDataExchange* request, void* params);
  uint32_t LoadImageThumbnail(const void* path, ImageDataExchange* request, void* params);
  uint32_t GetFileInfo(const void* path, ImageDataExchange* request, void* params);
  uint32_t QuerySave(SaveQuery* query);
  uint32_t SaveImageData(const void* path, ImageDataExchange* request, ImageSave* params);

  // Filter strings for the file dialogs; without keepBars every "|" becomes a NUL.
  bool BuildOpenFilter(std::string& out, bool keepBars, const Predicate& predicate = nullptr,
                       bool sort = false);
  bool BuildSaveFilter(std::string& out, bool keepBars, const Predicate& predicate = nullptr,
                       bool sort = false);
  // "." and the format's first extension, NUL-terminated in buffer; false when the
  // format is unknown or the text does not fit.
  bool GetDefaultExtension(uint32_t id, char* buffer, size_t size, bool& cannotSave);
  // The "ApplyColorEffect" entry, loading the colour-effect module into the handle on
  // first use; null when the module cannot be loaded (tried again next time).
  ApplyColorEffectEntry GetColorEffectFunction(FilterAccess& access);

  const std::string& Folder() const { return folder_; }
  std::vector<std::string> ModuleNames() const;
  gen::array_ptr<FilterFormatDesc>& Formats() { return formats_; }
  const gen::array_ptr<ExtItem>& ExtensionIndex() const { return extIndex_; }

  // "name" plus this build's module suffix and ".dll".
  static std::string ModuleFileName(std::string_view name);

  // The host functions of FilterInfoRecord.
  static FilterFormatDesc* ORBISK_CDECL AddFormat(uint32_t id, uint32_t matchParam,
                                                  uint32_t maskLength, const char* mask,
                                                  const char* extensions,
                                                  const char* filterText) noexcept;
  static uint32_t ORBISK_CDECL AddSubFormat(FilterFormatDesc* desc, const char* extensions,
                                            const char* filterText) noexcept;
  // The pixel allocator and release set into requests.
  static void* ORBISK_CDECL AllocatePixels(const CoreBitmap* bitmap) noexcept;
  static void ORBISK_CDECL ReleasePixels(void* block, uintptr_t context) noexcept;

  // The Film installs how its probe flag is read; without a reader it is 0.
  static void SetFilmProbeFlagReader(FilmProbeFlagReader reader);

  // What one module registers while its "GetFilterInfo" runs (internal).
  struct Registration;

 private:
  // Tells the request's callback that no plug-in reads its format; its answer.
  static bool ReportMissingPlugin(const ImageDataExchange& request);
  enum class Entry { kLoad, kThumbnail, kInfo };

  void EnsureInit();
  bool LoadModule(std::string_view name);
  void AdoptRegistered(uint32_t previousCount, Registration& registration);
  void ResolveEntries(uint32_t firstNew, platform::ModuleHandle module, const std::string& path);
  void RebuildIndex();
  FilterFormatDesc* FindByIdNow(uint32_t id);
  FilterFormatDesc* FindByExtensionNow(std::string_view path);
  FilterFormatDesc* SignatureMatch(const uint8_t* header, VStream* stream);
  FilterFormatDesc* DeepProbePass(VStream* stream, uint8_t flag);
  FilterFormatDesc* DetectFromFileNow(const void* path, bool wide, uint32_t& rc, uint8_t flag);
  FilterFormatDesc* DetectFromStreamNow(VStream* stream, uint32_t& rc, uint8_t flag);
  FilterFormatDesc* DetectFromMemoryNow(const void* data, uint32_t size, uint32_t hint);
  uint32_t Dispatch(Entry entry, const void* path, ImageDataExchange* request, void* params);
  bool BuildOpenFilterNow(std::string& out, bool keepBars, const Predicate& predicate, bool sort);
  bool BuildSaveFilterNow(std::string& out, bool keepBars, const Predicate& predicate, bool sort);

  // In this order: the list plug-ins append to, the module names, the extension
  // index and the plug-in folder.
  gen::array_ptr<FilterFormatDesc> formats_;
  gen::array_ptr<gen::string> moduleNames_;
  gen::array_ptr<ExtItem> extIndex_;
  std::string folder_;
};

}  // namespace glib
