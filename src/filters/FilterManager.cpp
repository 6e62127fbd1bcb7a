#include "filters/FilterManager.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "formats/FilterInfoRecord.h"
#include "formats/FormatRegistry.h"
#include "formats/MemStream.h"
#include "formats/Retcode.h"
#include "formats/StdioFileStream.h"
#include "platform/MessageSink.h"
#include "platform/PageAlloc.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "runtime/RegExp.h"

#ifndef ORBISK_MODULE_SUFFIX
#define ORBISK_MODULE_SUFFIX ""
#endif

namespace glib {

// Formats created by AddFormat while one module's "GetFilterInfo" runs: only these
// may enter the list, each once; the rest are deleted again.
struct FilterManager::Registration {
  std::vector<FilterFormatDesc*> created;
};

namespace {

thread_local FilterManager::Registration* registering = nullptr;
std::atomic<FilterManager::FilmProbeFlagReader> filmProbeFlagReader{nullptr};

// A plug-in's text, read up to its NUL but never further than the cap.
std::string_view PluginText(const char* text) {
  if (!text) return {};
  return {text, strnlen(text, FilterManager::kMaxPluginText)};
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = char(std::tolower(uint8_t(c)));
  return lower;
}

// Pieces of a line-feed separated list, empty pieces skipped.
template <class Visit>
void ForEachLine(std::string_view list, Visit visit) {
  while (!list.empty()) {
    size_t cut = list.find('\n');
    std::string_view piece = list.substr(0, cut);
    if (!piece.empty()) visit(piece);
    if (cut == std::string_view::npos) break;
    list.remove_prefix(cut + 1);
  }
}

std::string_view FirstLine(std::string_view list) {
  std::string_view first;
  ForEachLine(list, [&](std::string_view piece) {
    if (first.empty()) first = piece;
  });
  return first;
}

void ShowFilterError(const char* format, const char* a, const char* b = nullptr) {
  char text[4096];
  std::snprintf(text, sizeof(text), format, a, b);
  platform::ShowMessage(nullptr, text, "", platform::mb::kIconError | platform::mb::kTaskModal);
}

std::string ModulePath(const std::string& folder, std::string_view file) {
  if (folder.empty()) return std::string(file);
  std::string path = folder;
  path += '\\';  // the module loader maps it natively
  path += file;
  return path;
}

// A signature mask is usable when the record still holds the bytes it claims.
// An empty mask would match every file, so it counts as none.
bool MaskUsable(const FilterFormatDesc& desc) {
  if (desc.MaskLength == 0 || desc.Mask.empty()) return false;
  if (desc.MaskLength == FilterFormatDesc::kNulTerminatedMask) return true;
  return desc.MaskLength <= desc.Mask.size() && desc.MaskLength <= FilterManager::kMaxPluginText;
}

template <class T>
T Resolve(platform::ModuleHandle module, const std::string& name) {
  return reinterpret_cast<T>(platform::ModuleSymbol(module, name.c_str()));
}

}  // namespace

FilterAccess::FilterAccess() : manager(&FilterManager::Global()) {}

FilterManager& FilterManager::Global() {
  static FilterManager manager;
  return manager;
}

FilterManager::FilterManager() { moduleNames_.Add(new gen::string("fall")); }

FilterManager::~FilterManager() = default;

std::string FilterManager::ModuleFileName(std::string_view name) {
  std::string file(name);
  file += ORBISK_MODULE_SUFFIX;
  file += ".dll";
  return file;
}

void FilterManager::SetFilmProbeFlagReader(FilmProbeFlagReader reader) {
  filmProbeFlagReader.store(reader);
}

std::vector<std::string> FilterManager::ModuleNames() const {
  std::vector<std::string> names;
  for (const gen::string* name : moduleNames_) names.push_back(name->str());
  return names;
}

// ---- Configuration and loading ----

void FilterManager::Configure(const char* folder, const char* moduleNames) {
  formats_.Clear();
  moduleNames_.Clear();
  extIndex_.Clear();
  folder_.clear();
  try {
    ForEachLine(PluginText(moduleNames), [&](std::string_view piece) {
      std::string name =
          piece.find('.') == std::string_view::npos ? ModuleFileName(piece) : std::string(piece);
      moduleNames_.Add(new gen::string(name));
    });
    folder_ = folder ? folder : "";
    if (!folder_.empty() && (folder_.back() == '\\' || folder_.back() == '/')) folder_.pop_back();
  } catch (const std::exception&) {
    // Out of memory: what was kept so far stays configured.
  }
}

void FilterManager::EnsureInit() {
  if (formats_.empty()) Init(true);
}

void FilterManager::Init(bool reload) {
  if (reload) formats_.Clear();
  for (const gen::string* name : moduleNames_) LoadModule(name->view());
  for (FilterFormatDesc* desc : formats_) desc->Enabled = desc->CanRead = desc->CanWrite = 1;
  RebuildIndex();
}

bool FilterManager::LoadFilter(std::string_view moduleName) {
  EnsureInit();
  return LoadModule(moduleName);
}

bool FilterManager::LoadModule(std::string_view name) {
  std::string path;
  try {
    path = ModulePath(folder_, name);
  } catch (const std::bad_alloc&) {
    return false;
  }
  platform::ModuleHandle module = platform::LoadModuleFile(path, !folder_.empty());
  if (!module) return false;
  for (const FilterFormatDesc* desc : formats_) {
    if (desc->Module == module) {
      platform::UnloadModule(module);  // the load above took one more reference
      return true;
    }
  }
  auto getFilterInfo = Resolve<FilterInfoEntry>(module, "GetFilterInfo");
  if (!getFilterInfo) {
    ShowFilterError("Bad format for '%s'", path.c_str());
    platform::UnloadModule(module);
    return false;
  }

  uint32_t previous = formats_.size();
  FilterInfoRecord record;
  record.AddFormat = &AddFormat;
  record.AddSubFormat = &AddSubFormat;
  record.Formats = &formats_;
  Registration registration;
  Registration* outer = std::exchange(registering, &registration);
  getFilterInfo(0, &record);
  registering = outer;
  AdoptRegistered(previous, registration);

  if (record.Version != kFilterInterfaceVersion) {
    while (formats_.size() > previous) formats_.Remove(formats_.size() - 1);
    platform::UnloadModule(module);
    return false;
  }
  if (formats_.size() == previous) {
    platform::UnloadModule(module);  // nothing would ever unload it
    return true;
  }
  ResolveEntries(previous, module, path);
  return true;
}

// Keeps the formats the plug-in appended that AddFormat made during this call, once
// each and in order; anything else it put into the list (null, foreign or repeated
// pointers) is taken out without being touched.
void FilterManager::AdoptRegistered(uint32_t previousCount, Registration& registration) {
  gen::ArrayRecord* list = formats_.record();
  if (list->count > list->capacity) list->count = list->capacity;
  if (list->count < previousCount) previousCount = list->count;
  std::vector<FilterFormatDesc*> appended;
  while (formats_.size() > previousCount) appended.push_back(formats_.Detach(formats_.size() - 1));
  std::reverse(appended.begin(), appended.end());
  auto& created = registration.created;
  for (FilterFormatDesc* desc : appended) {
    auto it = std::find(created.begin(), created.end(), desc);
    if (it == created.end()) continue;
    created.erase(it);
    formats_.Add(desc);  // fits: the block held at least as many before
  }
  for (FilterFormatDesc* orphan : created) delete orphan;
}

void FilterManager::ResolveEntries(uint32_t firstNew, platform::ModuleHandle module,
                                   const std::string& path) {
  auto getFilterInfo = Resolve<FilterInfoEntry>(module, "GetFilterInfo");
  // The first new format holds the module, whatever its entries, so that it is
  // unloaded exactly once.
  formats_[firstNew]->Module = module;
  for (uint32_t i = firstNew; i < formats_.size(); ++i) {
    FilterFormatDesc* desc = formats_[i];
    std::string code = FormatEntryInfix(desc->Id);
    auto load = Resolve<LoadEntry>(module, "Load" + code + "ImageData");
    auto info = Resolve<LoadEntry>(module, "Get" + code + "FileInfo");
    if (!load || !info) {
      ShowFilterError("Bad format for %s, '%s'", code.c_str(), path.c_str());
      continue;
    }
    desc->LoadImageData = load;
    desc->GetFileInfo = info;
    desc->LoadImageThumbnail = Resolve<LoadEntry>(module, "Load" + code + "ImageThumbnail");
    desc->SaveImageData = Resolve<SaveEntry>(module, "Save" + code + "ImageData");
    desc->LoadPixmapData = Resolve<PixmapEntry>(module, "Load" + code + "PixmapData");
    desc->SavePixmapData = Resolve<PixmapEntry>(module, "Save" + code + "PixmapData");
    desc->GetFilterInfo = getFilterInfo;
  }
}

void FilterManager::RebuildIndex() {
  extIndex_.Clear();
  try {
    for (FilterFormatDesc* desc : formats_) {
      ForEachLine(desc->Extensions.view(), [&](std::string_view piece) {
        auto* item = new ExtItem;
        item->Extension = Lower(piece);
        item->Format = desc;
        try {
          extIndex_.Add(item);
        } catch (...) {
          delete item;
          throw;
        }
      });
    }
  } catch (const std::exception&) {
    // Out of memory: the index covers the formats it reached.
  }
}

// ---- Host functions handed to plug-ins ----

FilterFormatDesc* ORBISK_CDECL FilterManager::AddFormat(uint32_t id, uint32_t matchParam,
                                                        uint32_t maskLength, const char* mask,
                                                        const char* extensions,
                                                        const char* filterText) noexcept {
  FilterFormatDesc* desc = nullptr;
  try {
    desc = new FilterFormatDesc;
    desc->Id = id;
    desc->MatchParam = matchParam;
    desc->MaskLength = maskLength;
    if (mask && maskLength != 0) {
      size_t length = maskLength == FilterFormatDesc::kNulTerminatedMask
                          ? strnlen(mask, size_t(kMaxPluginText) + 1)
                          : size_t(maskLength);
      // A longer mask is not copied, so MaskUsable refuses it.
      if (length <= kMaxPluginText) desc->Mask.assign(mask, length);
    }
    desc->Extensions = PluginText(extensions);
    desc->FilterText = PluginText(filterText);
    if (registering) registering->created.push_back(desc);
    return desc;
  } catch (...) {
    delete desc;
    return nullptr;
  }
}

uint32_t ORBISK_CDECL FilterManager::AddSubFormat(FilterFormatDesc* desc, const char* extensions,
                                                  const char* filterText) noexcept {
  if (!desc) return BADA;
  try {
    gen::string* ext = new gen::string(PluginText(extensions));
    try {
      desc->SubExtensions.Add(ext);
    } catch (...) {
      delete ext;
      throw;
    }
    gen::string* text = new gen::string(PluginText(filterText));
    try {
      desc->SubFilterTexts.Add(text);
    } catch (...) {
      delete text;
      delete desc->SubExtensions.Detach(desc->SubExtensions.size() - 1);  // keep them parallel
      throw;
    }
    return RCOK;
  } catch (...) {
    return OMEM;
  }
}

void* ORBISK_CDECL FilterManager::AllocatePixels(const CoreBitmap* bitmap) noexcept {
  if (!bitmap) return nullptr;
  uint64_t bytes =
      ImageBytes(bitmap->width, bitmap->height, BitsPerPixel(bitmap->pixelType), bitmap->stride);
  return bytes ? platform::PageAlloc(bytes) : nullptr;
}

void ORBISK_CDECL FilterManager::ReleasePixels(void* block, uintptr_t) noexcept {
  platform::PageFree(block);
}

// ---- Lookups and detection ----

FilterFormatDesc* FilterManager::FindById(uint32_t id) {
  EnsureInit();
  return FindByIdNow(id);
}

FilterFormatDesc* FilterManager::FindByIdNow(uint32_t id) {
  if (id == kFormatNone) return nullptr;
  for (FilterFormatDesc* desc : formats_) {
    if (desc->Id == id) return desc;
  }
  return nullptr;
}

FilterFormatDesc* FilterManager::FindByExtension(std::string_view path) {
  EnsureInit();
  return FindByExtensionNow(path);
}

FilterFormatDesc* FilterManager::FindByExtensionNow(std::string_view path) {
  try {
    std::string extension = platform::SplitPath(path).extension;
    if (extension.size() < 2) return nullptr;  // none, or a bare dot
    std::string wanted = Lower(std::string_view(extension).substr(1));
    for (const ExtItem* item : extIndex_) {
      if (item->Extension == wanted) return item->Format;
    }
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

FilterFormatDesc* FilterManager::SignatureMatch(const uint8_t* header, VStream* stream) {
  RegExp mask;
  for (FilterFormatDesc* desc : formats_) {
    if (MaskUsable(*desc)) {
      uint32_t length = desc->MaskLength;
      if (mask.SetMask(desc->Mask.c_str(), length) &&
          mask.Match(header, kHeaderSize, desc->MatchParam)) {
        return desc;
      }
    }
    if (desc->Probe && stream && desc->Probe(stream, desc->Id) == RCOK) return desc;
  }
  return nullptr;
}

FilterFormatDesc* FilterManager::DeepProbePass(VStream* stream, uint8_t flag) {
  for (FilterFormatDesc* desc : formats_) {
    if (desc->DeepProbe && desc->DeepProbe(stream, desc->Id, flag) == RCOK) return desc;
  }
  return nullptr;
}

FilterFormatDesc* FilterManager::DetectFromFile(const void* path, bool wide, uint32_t& rc,
                                                uint8_t probeFlag) {
  EnsureInit();
  return DetectFromFileNow(path, wide, rc, probeFlag);
}

FilterFormatDesc* FilterManager::DetectFromFileNow(const void* path, bool wide, uint32_t& rc,
                                                   uint8_t flag) {
  rc = MISS;
  if (!path) return nullptr;
  auto* widePath = static_cast<const char16_t*>(path);
  auto* narrowPath = static_cast<const char*>(path);
  if (wide ? widePath[0] == 0 : narrowPath[0] == 0) return nullptr;
  VStdioFileStream file;
  if (!(wide ? file.Open(widePath, u"rb") : file.Open(narrowPath, "rb"))) return nullptr;

  uint8_t header[kHeaderSize] = {};
  file.Read(header, 1, sizeof(header));
  // Unreadable counts as missing (a folder opens natively but cannot be read).
  if (file.Error()) return nullptr;
  rc = NSUP;
  // Detectors get the stream where the header read left it and position it themselves.
  FilterFormatDesc* found = SignatureMatch(header, &file);
  if (!found) {
    FilterFormatDesc* byName = nullptr;
    try {
      byName = wide ? FindByExtensionNow(platform::NarrowFromUtf16(widePath))
                    : FindByExtensionNow(narrowPath);
    } catch (const std::bad_alloc&) {
    }
    if (byName && byName->MatchParam == 0 && byName->ByExtension == 1) found = byName;
  }
  if (!found) found = DeepProbePass(&file, flag);
  return found;
}

FilterFormatDesc* FilterManager::DetectFromStream(VStream* stream, uint32_t& rc,
                                                  uint8_t probeFlag) {
  EnsureInit();
  return DetectFromStreamNow(stream, rc, probeFlag);
}

FilterFormatDesc* FilterManager::DetectFromStreamNow(VStream* stream, uint32_t& rc, uint8_t flag) {
  rc = MISS;
  if (!stream) return nullptr;
  rc = RCOK;
  int64_t start = stream->Tell();
  uint8_t header[kHeaderSize] = {};
  stream->Read(header, 1, sizeof(header));
  stream->SetPos(start);
  rc = NSUP;
  FilterFormatDesc* found = SignatureMatch(header, stream);
  stream->SetPos(start);
  if (!found) {
    found = DeepProbePass(stream, flag);
    stream->SetPos(start);
  }
  return found;
}

FilterFormatDesc* FilterManager::DetectFromMemory(const void* data, uint32_t size, uint32_t hint) {
  EnsureInit();
  return DetectFromMemoryNow(data, size, hint);
}

FilterFormatDesc* FilterManager::DetectFromMemoryNow(const void* data, uint32_t size,
                                                     uint32_t hint) {
  if (hint == kFormatNone && data) {
    uint8_t header[kHeaderSize] = {};
    std::memcpy(header, data, std::min<uint32_t>(size, kHeaderSize));
    // Probes only read; the stream never writes to a borrowed block it is not asked to.
    VMemStream stream(const_cast<void*>(data), size);
    if (FilterFormatDesc* found = SignatureMatch(header, &stream)) return found;
  }
  return FindByIdNow(hint);
}

// ---- Dispatch ----

uint32_t FilterManager::LoadImageData(const void* path, ImageDataExchange* request, void* params) {
  return Dispatch(Entry::kLoad, path, request, params);
}

uint32_t FilterManager::LoadImageThumbnail(const void* path, ImageDataExchange* request,
                                           void* params) {
  return Dispatch(Entry::kThumbnail, path, request, params);
}

uint32_t FilterManager::GetFileInfo(const void* path, ImageDataExchange* request, void* params) {
  return Dispatch(Entry::kInfo, path, request, params);
}

uint32_t FilterManager::Dispatch(Entry kind, const void* path, ImageDataExchange* request,
                                 void* params) {
  if (!request) return BADA;
  EnsureInit();
  auto entryOf = [kind](const FilterFormatDesc* desc) {
    return kind == Entry::kLoad        ? desc->LoadImageData
           : kind == Entry::kThumbnail ? desc->LoadImageThumbnail
                                       : desc->GetFileInfo;
  };
  const uint32_t missingEntry = kind == Entry::kThumbnail ? uint32_t(TMNS) : uint32_t(UNSF);

  if (request->sourceSize != 0 && !request->source) return BADA;

  uint32_t rc = NSUP;
  FilterFormatDesc* desc;
  if (request->sourceSize != 0) {
    desc = DetectFromMemoryNow(request->source, request->sourceSize, request->format);
  } else {
    FilmProbeFlagReader reader = filmProbeFlagReader.load();
    uint8_t flag = reader && request->film ? reader(request->film) : 0;
    desc = request->stream ? DetectFromStreamNow(request->stream, rc, flag)
                           : DetectFromFileNow(path, request->wide != 0, rc, flag);
    // A format the caller names wins over the detected one; a missing file stays missing.
    if (rc == NSUP && request->format != kFormatNone) desc = FindByIdNow(request->format);
  }
  if (!desc) return rc;
  LoadEntry entry = entryOf(desc);
  if (!entry) return missingEntry;

  request->format = desc->Id;
  if (kind != Entry::kInfo) {
    request->allocate = &AllocatePixels;
    request->release = &ReleasePixels;
  }
  uint32_t result = entry(path, request, params);
  // CFLT: the plug-in wrote another format into the request; follow it, but not
  // around a cycle forever.
  for (int hops = 0; result == CFLT; ++hops) {
    if (hops == kMaxRedirections) return IERR;
    desc = FindByIdNow(request->format);
    // No plug-in reads the format: ask whether to look again (the user may have put
    // the missing plug-in in place) until one turns up or the answer is no.
    while (!desc && ReportMissingPlugin(*request)) {
      Init(false);
      desc = FindByIdNow(request->format);
    }
    if (!desc) return IERR;
    entry = entryOf(desc);
    if (!entry) return missingEntry;
    result = entry(path, request, params);
  }
  return result;
}

bool FilterManager::ReportMissingPlugin(const ImageDataExchange& request) {
  if (!request.progress) return false;
  std::string code;
  try {
    code = FormatEntryInfix(request.format);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FilmEvent event;
  event.step = ClbData::kEvent;
  event.eventKind = kEventUnavailable;
  event.parameter = kUnavailablePlugin;
  event.text = code.c_str();
  event.context = request.progressContext;
  return request.progress(&event);
}

uint32_t FilterManager::QuerySave(SaveQuery* query) {
  if (!query || !query->params) return BADA;
  EnsureInit();
  FilterFormatDesc* desc = FindByIdNow(query->params->format);
  if (!desc) return NSUP;
  if (!desc->SaveImageData || !desc->GetFilterInfo) return UNSF;
  return desc->GetFilterInfo(1, query);
}

uint32_t FilterManager::SaveImageData(const void* path, ImageDataExchange* request,
                                      ImageSave* params) {
  if (!request || !params) return BADA;
  EnsureInit();
  FilterFormatDesc* desc = FindByIdNow(params->format);
  if (!desc) return NSUP;
  if (!desc->SaveImageData) return UNSF;
  request->allocate = &AllocatePixels;
  request->release = &ReleasePixels;
  return desc->SaveImageData(path, request, params);
}

// ---- Filter strings and extensions ----

namespace {

struct FilterItem {
  std::string_view text;
  std::string_view extensions;
  bool common;
};

void SortByText(std::vector<FilterItem>& items) {
  std::stable_sort(items.begin(), items.end(),
                   [](const FilterItem& a, const FilterItem& b) { return a.text < b.text; });
}

// "|Windows Bitmap|*.bmp" becomes "|Windows Bitmap (*.bmp)|*.bmp": the patterns up to
// the next bar go into parentheses before the first "|*".
std::string WithPatternsShown(std::string_view text) {
  size_t at = text.find("|*");
  if (at == std::string_view::npos) return std::string(text);
  std::string_view patterns = text.substr(at + 1);
  patterns = patterns.substr(0, patterns.find('|'));
  std::string shown(text.substr(0, at));
  shown += " (";
  shown += patterns;
  shown += ')';
  shown += text.substr(at);
  return shown;
}

void FinishFilter(std::string& out, bool keepBars) {
  if (!keepBars) std::replace(out.begin(), out.end(), '|', '\0');
}

}  // namespace

bool FilterManager::BuildOpenFilter(std::string& out, bool keepBars, const Predicate& predicate,
                                    bool sort) {
  out.clear();
  EnsureInit();
  try {
    return BuildOpenFilterNow(out, keepBars, predicate, sort);
  } catch (const std::exception&) {
    out.clear();
    return false;
  }
}

bool FilterManager::BuildOpenFilterNow(std::string& out, bool keepBars, const Predicate& predicate,
                                       bool sort) {
  if (formats_.empty()) return false;
  std::vector<FilterItem> items;
  for (uint32_t i = 0; i < formats_.size(); ++i) {
    const FilterFormatDesc* desc = formats_[i];
    if (predicate && !predicate(*desc)) continue;
    // A format a second plug-in announces again is listed once among the common ones.
    bool repeated = i > 0 && formats_[i - 1]->Id == desc->Id;
    items.push_back(
        {desc->FilterText.view(), desc->Extensions.view(), IsCommonFormat(desc->Id) && !repeated});
    uint32_t subFormats = std::min(desc->SubExtensions.size(), desc->SubFilterTexts.size());
    for (uint32_t k = 0; k < subFormats; ++k) {
      items.push_back({desc->SubFilterTexts[k]->view(), desc->SubExtensions[k]->view(), false});
    }
  }
  if (sort) SortByText(items);

  std::string perFormat;
  std::string common;
  for (const FilterItem& item : items) {
    perFormat += WithPatternsShown(item.text);
    if (!item.common) continue;
    ForEachLine(item.extensions, [&](std::string_view ext) {
      common += "*.";
      common += ext;
      common += ';';
    });
  }
  out = common.empty() ? "All files|*.*" : "All files|*.*|Common graphic files|" + common;
  out += perFormat;
  out += "||";
  FinishFilter(out, keepBars);
  return true;
}

bool FilterManager::BuildSaveFilter(std::string& out, bool keepBars, const Predicate& predicate,
                                    bool sort) {
  out.clear();
  EnsureInit();
  try {
    return BuildSaveFilterNow(out, keepBars, predicate, sort);
  } catch (const std::exception&) {
    out.clear();
    return false;
  }
}

bool FilterManager::BuildSaveFilterNow(std::string& out, bool keepBars, const Predicate& predicate,
                                       bool sort) {
  std::vector<FilterItem> items;
  for (const FilterFormatDesc* desc : formats_) {
    if (!desc->SaveImageData || (predicate && !predicate(*desc))) continue;
    items.push_back({desc->FilterText.view(), {}, false});
  }
  if (sort) SortByText(items);
  for (const FilterItem& item : items) {
    // Up to the third bar: the description and its patterns, nothing after them.
    size_t cut = 0;
    for (int bars = 0; bars < 3 && cut != std::string_view::npos; ++bars) {
      cut = item.text.find('|', bars == 0 ? 0 : cut + 1);
    }
    out += item.text.substr(0, cut);
  }
  if (!out.empty() && out.front() == '|') out.erase(0, 1);
  if (out.empty()) return false;
  out += "||";
  FinishFilter(out, keepBars);
  return true;
}

bool FilterManager::GetDefaultExtension(uint32_t id, char* buffer, size_t size, bool& cannotSave) {
  EnsureInit();
  const FilterFormatDesc* desc = FindByIdNow(id);
  if (!desc || !buffer || size == 0) return false;
  std::string_view first = FirstLine(desc->Extensions.view());
  if (first.size() + 1 > size - 1) return false;
  buffer[0] = '.';
  std::memcpy(buffer + 1, first.data(), first.size());
  buffer[first.size() + 1] = '\0';
  cannotSave = desc->SaveImageData == nullptr;
  return true;
}

ApplyColorEffectEntry FilterManager::GetColorEffectFunction(FilterAccess& access) {
  EnsureInit();
  if (!access.effectModule) {
    std::string path;
    try {
      path = ModulePath(folder_, ModuleFileName("cef"));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    access.effectModule = platform::LoadModuleFile(path, !folder_.empty());
    if (!access.effectModule) return nullptr;
    access.applyColorEffect = reinterpret_cast<ApplyColorEffectEntry>(
        platform::ModuleSymbol(access.effectModule, "ApplyColorEffect"));
  }
  return access.applyColorEffect;
}

}  // namespace glib
