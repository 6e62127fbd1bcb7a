// Loading, thumbnails, file information and saving: the Film fills an exchange
// request, the filter manager runs the plug-in, and the pages become slides and
// layers (or, on save, slides and layers become pages).
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "formats/FormatRegistry.h"
#include "formats/Stream.h"
#include "geometry/Fit.h"
#include "image/BitmapOps.h"
#include "image/Composite.h"
#include "image/Film.h"
#include "image/FilmPlatform.h"
#include "platform/Text.h"

namespace glib {
namespace {

// Brackets a plug-in call with the wait steps, also on every early return.
class WaitScope {
 public:
  explicit WaitScope(const _FLM& film) : film_(film) {
    SendStep(film_.progress, film_.progressContext, ClbData::kWaitBegin);
  }
  ~WaitScope() { SendStep(film_.progress, film_.progressContext, ClbData::kWaitEnd); }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  const _FLM& film_;
};

// A page's picture is usable when its rows can be read as described, or it holds a
// picture with a table, or nothing at all.
bool PageIsUsable(const IDEPage& page) {
  const CoreBitmap& b = page.bitmap;
  if (b.pixels) return HasUsableRows(b);
  if (b.picture) return b.picture->ops != nullptr && b.width >= 0 && b.height >= 0;
  return true;
}

std::string PathName(const void* path, bool wide) {
  if (!path) return {};
  if (!wide) return static_cast<const char*>(path);
  return platform::NarrowFromUtf16(static_cast<const char16_t*>(path));
}

// Moves the page's picture into the layer; the page keeps nothing to release.
void TakePicture(Layer& layer, IDEPage& page) {
  MoveBitmap(layer.bitmap, page.bitmap);
  layer.bitmap.stride = layer.bitmap.pixels ? layer.bitmap.stride : kStridePadded;
}

bool SameGroup(const IDEPage& a, const IDEPage& b) { return a.group == b.group; }

}  // namespace

// ---- the request ----

void Film::FillRequest(ImageDataExchange& request, const Input& input, uint32_t format) {
  request.film = this;
  request.format = format;
  request.progress = state_->progress;
  request.progressContext = state_->progressContext;
  request.background = state_->background;
  request.filterMessage = &state_->filterMessage;
  switch (input.kind) {
    case Source::kPath:
    case Source::kWidePath:
      request.source = input.path;
      request.wide = input.kind == Source::kWidePath ? 1 : 0;
      break;
    case Source::kMemory:
      request.source = input.data;
      request.sourceSize = input.size;
      break;
    case Source::kStream:
      request.stream = input.stream;
      break;
  }
}

// ---- loading ----

ERetcode Film::BuildSlides(ImageDataExchange& request, const Input& input, bool thumbnail,
                           int32_t maxWidth, int32_t maxHeight) {
  gen::array_ptr<IDEPage>& pages = request.pages;
  for (IDEPage* page : pages) {
    if (!page || !PageIsUsable(*page)) return BADI;
  }
  if (pages.empty()) return RCOK;
  const std::string path = PathName(input.path, input.kind == Source::kWidePath);
  const bool fit = thumbnail && maxWidth > 0 && maxHeight > 0;

  auto fitLayer = [&](Layer& layer) -> ERetcode {
    const CoreBitmap& b = layer.bitmap;
    if (!fit || (b.width <= maxWidth && b.height <= maxHeight)) return RCOK;
    std::optional<geometry::Size> size =
        geometry::FitInto({maxWidth, maxHeight}, {b.width, b.height});
    if (!size) return RCOK;
    ClbData record;
    record.context = state_->progressContext;
    return layer.Resize(size->width, size->height, 0, 0, 0, 0, kScaleBilinear, true,
                        state_->progress, &record, 0);
  };

  const uint32_t before = GetSlideCount();
  auto undo = [&](ERetcode code) {
    while (GetSlideCount() > before) state_->slides.Remove(GetSlideCount() - 1);
    return code;
  };

  if (pages[0]->group == -1) {
    for (IDEPage* page : pages) {
      auto slide = std::make_unique<Slide>(state_->background, state_);
      slide->delay = page->delay;
      slide->SetResolution(page->resolutionX, page->resolutionY);
      slide->name = !thumbnail && !page->name.empty() ? page->name.view() : std::string_view(path);
      slide->metadata = page->slideMetadata;
      auto layer = std::make_unique<Layer>(slide.get());
      layer->name = "Layer 1";
      layer->metadata = page->layerMetadata;
      TakePicture(*layer, *page);
      if (ERetcode rc = fitLayer(*layer); rc != RCOK) return undo(rc);
      slide->layers.Add(layer.release());
      slide->AttachTo(state_);
      slide.release();
    }
    return RCOK;
  }

  // Every slide of one load shares the canvas of its first page; a Film without a
  // canvas takes it, so that attaching keeps it.
  const IDEPage& head = *pages[0];
  const Rect loadCanvas{head.canvasLeft, head.canvasTop, head.canvasRight, head.canvasBottom};
  if (state_->canvas.IsZero() && !loadCanvas.IsEmpty()) state_->canvas = loadCanvas;

  for (uint32_t start = 0; start < pages.size();) {
    uint32_t end = start + 1;
    while (end < pages.size() && SameGroup(*pages[end], *pages[start])) ++end;
    const IDEPage& first = *pages[start];
    auto slide = std::make_unique<Slide>(state_->background, state_);
    slide->name = path;
    slide->delay = first.delay;
    slide->SetResolution(first.resolutionX, first.resolutionY);
    slide->metadata = first.slideMetadata;
    slide->SetBackground(pages[end - 1]->background);
    if (!loadCanvas.IsEmpty()) slide->canvas = loadCanvas;
    for (uint32_t i = start; i < end; ++i) {
      IDEPage& page = *pages[i];
      auto layer = std::make_unique<Layer>(slide.get());
      if (!page.name.empty()) {
        layer->name = page.name.view();
      } else {
        char text[32];
        std::snprintf(text, sizeof text, "Layer %u", i - start + 1);
        layer->name = text;
      }
      layer->offsetX = page.offsetX;
      layer->offsetY = page.offsetY;
      layer->blendMode = page.blendMode;
      layer->visible = page.visible;
      layer->enabled = page.enabled;
      layer->metadata = page.layerMetadata;
      TakePicture(*layer, page);
      if (ERetcode rc = fitLayer(*layer); rc != RCOK) return undo(rc);
      if (page.base) {
        delete slide->baseLayer;
        slide->baseLayer = layer.release();
      } else {
        slide->layers.Add(layer.release());
      }
    }
    slide->AttachTo(state_);
    slide.release();
    start = end;
  }
  return RCOK;
}

ERetcode Film::LoadFrom(const Input& input, uint32_t format, ImageLoad* params, bool replace,
                        int32_t position) {
  if (!input.IsValid()) return BADA;
  if (replace) {
    Clear();
    state_->canvas = {};
  } else if (position != -1 && (position < 0 || uint32_t(position) >= GetSlideCount())) {
    return BADA;
  }
  state_->filterMessage.clear();
  WaitScope wait(*state_);

  ImageDataExchange request;
  FillRequest(request, input, format);
  const void* pathArgument = input.PathArgument();
  uint32_t rc = state_->filterAccess.manager->LoadImageData(pathArgument, &request, params);
  if (rc == LZWD) {
    request.pages.Clear();
    auto page = std::make_unique<IDEPage>();
    if (!MakeNoticePage(*page)) return LZWD;
    request.pages.Add(page.release());
  } else if (rc == OKAF) {
    return RCOK;
  } else if (rc != RCOK) {
    return ERetcode(rc);
  }

  const uint32_t before = GetSlideCount();
  if (ERetcode built = BuildSlides(request, input, false, 0, 0); built != RCOK) return built;
  if (!replace && position != -1) {
    // The new slides were appended: move them, in order, in front of `position`.
    const uint32_t added = GetSlideCount() - before;
    for (uint32_t i = 0; i < added; ++i) {
      Slide* slide = state_->slides.Detach(before + i);
      state_->slides.Insert(uint32_t(position) + i, slide);
    }
    // The slide shown before stays the current one.
    if (state_->current >= position) state_->current += int32_t(added);
  }
  return RCOK;
}

ERetcode Film::LoadW(const char16_t* path, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kWidePath, path}, format, params, true, -1);
}
ERetcode Film::Load(const char* path, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kPath, path}, format, params, true, -1);
}
ERetcode Film::AppendW(const char16_t* path, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kWidePath, path}, format, params, false, -1);
}
ERetcode Film::Append(const char* path, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kPath, path}, format, params, false, -1);
}
ERetcode Film::InsertW(const char16_t* path, uint32_t format, ImageLoad* params, int32_t position) {
  return LoadFrom({Source::kWidePath, path}, format, params, false, position);
}
ERetcode Film::Insert(const char* path, uint32_t format, ImageLoad* params, int32_t position) {
  return LoadFrom({Source::kPath, path}, format, params, false, position);
}
ERetcode Film::LoadMemory(const void* data, uint32_t size, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kMemory, nullptr, data, size}, format, params, true, -1);
}
ERetcode Film::AppendMemory(const void* data, uint32_t size, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kMemory, nullptr, data, size}, format, params, false, -1);
}
ERetcode Film::InsertMemory(const void* data, uint32_t size, uint32_t format, ImageLoad* params,
                            int32_t position) {
  return LoadFrom({Source::kMemory, nullptr, data, size}, format, params, false, position);
}
ERetcode Film::LoadStream(VStream* stream, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kStream, nullptr, nullptr, 0, stream}, format, params, true, -1);
}
ERetcode Film::AppendStream(VStream* stream, uint32_t format, ImageLoad* params) {
  return LoadFrom({Source::kStream, nullptr, nullptr, 0, stream}, format, params, false, -1);
}
ERetcode Film::InsertStream(VStream* stream, uint32_t format, ImageLoad* params, int32_t position) {
  return LoadFrom({Source::kStream, nullptr, nullptr, 0, stream}, format, params, false, position);
}

ERetcode Film::LoadResource(void* module, uint16_t id, const char* type, uint32_t format,
                            ImageLoad* params) {
  const void* data = nullptr;
  uint32_t size = 0;
  uint32_t rc = FindResourceBytes(module, id, type, data, size);
  if (rc != RCOK) return ERetcode(rc);
  return LoadMemory(data, size, format, params);
}

// ---- thumbnails ----

ERetcode Film::LoadThumbnailFrom(const Input& input, uint32_t format, bool fallBack,
                                 int32_t maxWidth, int32_t maxHeight, ImageLoad* params) {
  if (!input.IsValid()) return BADA;
  Clear();
  state_->canvas = {};
  state_->filterMessage.clear();
  WaitScope wait(*state_);

  const void* pathArgument = input.PathArgument();
  const int64_t streamStart = input.stream ? input.stream->Tell() : 0;
  auto request = std::make_unique<ImageDataExchange>();
  FillRequest(*request, input, format);
  request->thumbnailFallback = fallBack ? 1 : 0;
  request->thumbnailMaxWidth = uint32_t(std::max(maxWidth, 0));
  request->thumbnailMaxHeight = uint32_t(std::max(maxHeight, 0));
  uint32_t rc =
      state_->filterAccess.manager->LoadImageThumbnail(pathArgument, request.get(), params);
  if (rc == OKAF) return RCOK;
  if (rc == USRA) return USRA;
  if (rc == LZWD) {
    request->pages.Clear();
    auto page = std::make_unique<IDEPage>();
    if (!MakeNoticePage(*page)) return LZWD;
    request->pages.Add(page.release());
  } else if (rc != RCOK) {
    if (!fallBack) return ERetcode(rc);
    ImageLoad full(kFormatNone);
    if (params) {
      full.firstPage = params->firstPage;
      full.pageCount = params->pageCount;
    }
    // The first attempt may have read the stream: start again where it was.
    if (input.stream) input.stream->SetPos(streamStart);
    request = std::make_unique<ImageDataExchange>();
    FillRequest(*request, input, format);
    rc = state_->filterAccess.manager->LoadImageData(pathArgument, request.get(), &full);
    if (rc == BADI) return BADT;
    if (rc != RCOK) return ERetcode(rc);
  }
  return BuildSlides(*request, input, true, maxWidth, maxHeight);
}

ERetcode Film::LoadThumbnailW(const char16_t* path, uint32_t format, bool fallBack,
                              int32_t maxWidth, int32_t maxHeight, ImageLoad* params) {
  return LoadThumbnailFrom({Source::kWidePath, path}, format, fallBack, maxWidth, maxHeight,
                           params);
}
ERetcode Film::LoadThumbnail(const char* path, uint32_t format, bool fallBack, int32_t maxWidth,
                             int32_t maxHeight, ImageLoad* params) {
  return LoadThumbnailFrom({Source::kPath, path}, format, fallBack, maxWidth, maxHeight, params);
}
ERetcode Film::LoadThumbnailMemory(const void* data, uint32_t size, uint32_t format, bool fallBack,
                                   int32_t maxWidth, int32_t maxHeight, ImageLoad* params) {
  return LoadThumbnailFrom({Source::kMemory, nullptr, data, size}, format, fallBack, maxWidth,
                           maxHeight, params);
}
ERetcode Film::LoadThumbnailStream(VStream* stream, uint32_t format, bool fallBack,
                                   int32_t maxWidth, int32_t maxHeight, ImageLoad* params) {
  return LoadThumbnailFrom({Source::kStream, nullptr, nullptr, 0, stream}, format, fallBack,
                           maxWidth, maxHeight, params);
}

// ---- file information ----

ERetcode Film::GetFileInfoFrom(const Input& input, void* infoParams, uint32_t format) {
  if (!input.IsValid()) return BADA;
  state_->filterMessage.clear();
  WaitScope wait(*state_);
  ImageDataExchange request;
  FillRequest(request, input, format);
  const void* pathArgument = input.PathArgument();
  return ERetcode(state_->filterAccess.manager->GetFileInfo(pathArgument, &request, infoParams));
}

ERetcode Film::GetFileInfoW(const char16_t* path, void* infoParams, uint32_t format) {
  return GetFileInfoFrom({Source::kWidePath, path}, infoParams, format);
}
ERetcode Film::GetFileInfo(const char* path, void* infoParams, uint32_t format) {
  return GetFileInfoFrom({Source::kPath, path}, infoParams, format);
}
ERetcode Film::GetFileInfoMemory(const void* data, uint32_t size, void* infoParams,
                                 uint32_t format) {
  return GetFileInfoFrom({Source::kMemory, nullptr, data, size}, infoParams, format);
}
ERetcode Film::GetFileInfoStream(VStream* stream, void* infoParams, uint32_t format) {
  return GetFileInfoFrom({Source::kStream, nullptr, nullptr, 0, stream}, infoParams, format);
}

// ---- saving ----

namespace {

// A page that shows a layer's picture without owning it.
std::unique_ptr<IDEPage> PageFor(const Layer& layer, Slide& slide, int32_t group,
                                 const ImageSave& params) {
  auto page = std::make_unique<IDEPage>();
  ViewBitmap(page->bitmap, layer.bitmap);
  page->name = layer.name;
  page->layerMetadata = layer.metadata;
  page->slideMetadata = slide.metadata;
  page->blendMode = layer.blendMode;
  page->visible = layer.visible;
  page->enabled = layer.enabled;
  page->offsetX = layer.offsetX;
  page->offsetY = layer.offsetY;
  page->group = group;
  page->delay = slide.delay;
  page->background = slide.background;
  page->canvasLeft = slide.canvas.left;
  page->canvasTop = slide.canvas.top;
  page->canvasRight = slide.canvas.right;
  page->canvasBottom = slide.canvas.bottom;
  page->resolutionX = params.resolutionX != 0.0f ? params.resolutionX : slide.resolutionX;
  page->resolutionY = params.resolutionY != 0.0f ? params.resolutionY : slide.resolutionY;
  return page;
}

// A flattened copy of the slide (over its canvas when it has one); without alpha it is
// laid over the background, or made opaque when a base layer lies beneath.
std::unique_ptr<Layer> FlattenedCopy(Slide& slide, bool removeAlpha) {
  auto layer = std::make_unique<Layer>(nullptr);
  const Rect* rect = slide.HasCanvas() ? &slide.canvas : nullptr;
  if (!Flatten(slide, rect, *layer, 0, -1)) return nullptr;
  if (removeAlpha) {
    if (slide.baseLayer) {
      layer->SetAlpha(255);
    } else {
      LayOverBackground(layer->bitmap, slide.background);
    }
  }
  return layer;
}

}  // namespace

ERetcode Film::SaveTo(const Input& output, void** data, uint32_t* size, ImageSave* params) {
  if (!params || params->firstPage >= GetSlideCount()) return BADA;
  if (output.kind != Source::kMemory && !output.path) return BADA;
  SlideRange range;
  ResolveRange(params->firstPage, params->pageCount, GetSlideCount(), range);
  if (!IsMultiPageFormat(params->format)) range.end = range.begin + 1;

  SaveQuery query;
  query.params = params;
  uint32_t rc = state_->filterAccess.manager->QuerySave(&query);
  if (rc != RCOK) return ERetcode(rc);

  state_->filterMessage.clear();
  WaitScope wait(*state_);
  ImageDataExchange request;
  request.film = this;
  request.format = params->format;
  request.progress = state_->progress;
  request.progressContext = state_->progressContext;
  request.background = state_->background;
  request.filterMessage = &state_->filterMessage;
  request.wide = output.kind == Source::kWidePath ? 1 : 0;
  request.source = output.kind == Source::kMemory ? nullptr : output.path;
  for (int i = 0; i < 3; ++i) request.saveDefaults1[i] = state_->saveDefaults[i];
  for (int i = 0; i < 2; ++i) request.saveDefaults2[i] = state_->saveDefaults[3 + i];

  // Pictures made for the save live until the plug-in is done with them.
  std::vector<std::unique_ptr<Layer>> made;
  for (uint32_t index = range.begin; index < range.end; ++index) {
    Slide& slide = *state_->slides[index];
    if (slide.GetLayerCount() == 0) continue;
    const int32_t group = int32_t(index - range.begin);
    if (!query.layers) {
      const Layer* picture = nullptr;
      if (slide.layers.size() == 1 && !slide.HasCanvas() && slide.layers[0]->offsetX == 0 &&
          slide.layers[0]->offsetY == 0) {
        Layer* only = slide.layers[0];
        const bool direct =
            only->IsVector() ? query.vector != 0 : !HasAlpha(only->bitmap.pixelType) || query.alpha;
        if (direct) {
          picture = only;
        } else if (UpdateComposite(slide)) {
          picture = slide.composite;
        }
      } else if (auto flat = FlattenedCopy(slide, !query.alpha)) {
        picture = flat.get();
        made.push_back(std::move(flat));
      }
      if (!picture) return OMEM;
      request.pages.Add(PageFor(*picture, slide, group, *params).release());
      continue;
    }
    if (index == range.begin && query.merged) {
      const Layer* merged = nullptr;
      if (!query.alpha && BitsPerSample(params->pixelType) <= 8) {
        if (UpdateComposite(slide)) merged = slide.composite;
      } else if (auto flat = FlattenedCopy(slide, !HasAlpha(params->pixelType))) {
        merged = flat.get();
        made.push_back(std::move(flat));
      }
      if (!merged) return OMEM;
      request.merged = &merged->bitmap;
    }
    if (slide.baseLayer) {
      auto page = PageFor(*slide.baseLayer, slide, group, *params);
      page->base = 1;
      request.pages.Add(page.release());
    }
    for (Layer* layer : slide.layers)
      request.pages.Add(PageFor(*layer, slide, group, *params).release());
  }
  if (request.pages.empty()) return IERR;

  const void* path = output.kind == Source::kMemory ? nullptr : output.path;
  // The plug-in writes beside the target; the target is replaced only by a complete
  // file, so a failed or interrupted save leaves it as it was.
  const bool wide = output.kind == Source::kWidePath;
  std::u16string target, temporary;
  std::string temporaryNarrow;
  if (path && !params->keepPartialFile) {
    if (wide) {
      target = static_cast<const char16_t*>(path);
      temporary = target + u"~sav";
      path = temporary.c_str();
    } else {
      temporaryNarrow = static_cast<const char*>(path) + std::string("~sav");
      target = platform::Utf16FromNarrow(static_cast<const char*>(path));
      temporary = platform::Utf16FromNarrow(temporaryNarrow);
      path = temporaryNarrow.c_str();
    }
  }
  rc = state_->filterAccess.manager->SaveImageData(path, &request, params);
  if (!temporary.empty()) {
    if (rc == RCOK && (FileSizeOf(temporary) <= 0 || !ReplaceFileWith(target, temporary)))
      rc = WERR;
    if (rc != RCOK) RemoveFileWide(temporary.c_str());
    return ERetcode(rc);
  }
  if (output.kind == Source::kMemory) {
    if (rc == RCOK) {
      *data = const_cast<void*>(request.source);
      *size = request.sourceSize;
    } else if (request.source) {
      platform::PageFree(const_cast<void*>(request.source));
    }
  }
  return ERetcode(rc);
}

ERetcode Film::SaveW(const char16_t* path, ImageSave* params) {
  return SaveTo({Source::kWidePath, path}, nullptr, nullptr, params);
}
ERetcode Film::Save(const char* path, ImageSave* params) {
  return SaveTo({Source::kPath, path}, nullptr, nullptr, params);
}
ERetcode Film::SaveMemory(void** data, uint32_t* size, ImageSave* params) {
  if (!data || !size) return BADA;
  *data = nullptr;
  *size = 0;
  return SaveTo({Source::kMemory}, data, size, params);
}

}  // namespace glib
