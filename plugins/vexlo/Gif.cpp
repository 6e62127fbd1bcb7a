// GIF through giflib. Every frame becomes a full-canvas page as a player shows it:
// frames are composed with their transparency and the previous frame's disposal.
// Saving writes one frame per page, an animation when there are several.
#include <algorithm>

#include <gif_lib.h>

#include "formats/Retcode.h"
#include "runtime/LineConverter.h"
#include "vexlo/Formats.h"

namespace vexlo {
namespace {

int ReadInput(GifFileType* gif, GifByteType* out, int length) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  return int(in->Read(out, size_t(std::max(length, 0))));
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error;
    DGifCloseFile(gif, &error);
  }
};
using GifPtr = std::unique_ptr<GifFileType, GifCloser>;

// Frames with their control blocks, read record by record so that every size is
// checked before giflib allocates for it.
struct GifWalker {
  MemoryInput input;
  GifPtr gif;
  GraphicsControlBlock gcb{};
  bool hasGcb = false;
  std::string comment;

  uint32_t Open(std::span<const uint8_t> bytes) {
    input = {bytes.data(), bytes.size(), 0};
    int error = 0;
    gif.reset(DGifOpen(&input, &ReadInput, &error));
    if (!gif) return error == D_GIF_ERR_NOT_ENOUGH_MEM ? OMEM : BADI;
    return RCOK;
  }

  // Advances to the next image descriptor (true) or the end (false).
  bool NextImage(bool& broken) {
    GifRecordType type;
    hasGcb = false;
    for (int records = 0; records < 100000; ++records) {
      if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
        broken = true;
        return false;
      }
      if (type == TERMINATE_RECORD_TYPE) return false;
      if (type == IMAGE_DESC_RECORD_TYPE) {
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
          broken = true;
          return false;
        }
        return true;
      }
      if (type == EXTENSION_RECORD_TYPE) {
        int code;
        GifByteType* block;
        if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
          broken = true;
          return false;
        }
        bool first = true;
        while (block) {
          if (code == GRAPHICS_EXT_FUNC_CODE && first) {
            hasGcb = DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK;
          } else if (code == COMMENT_EXT_FUNC_CODE && comment.size() < 65536) {
            comment.append(reinterpret_cast<const char*>(block + 1), block[0]);
          }
          first = false;
          if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
            broken = true;
            return false;
          }
        }
      }
    }
    broken = true;
    return false;
  }

  // Skips the current image's data without decoding it.
  bool SkipImage() {
    int size;
    GifByteType* block;
    if (DGifGetCode(gif.get(), &size, &block) == GIF_ERROR) return false;
    while (block) {
      if (DGifGetCodeNext(gif.get(), &block) == GIF_ERROR) return false;
    }
    return true;
  }
};

// The canvas a player keeps, in 32-bit RGBA.
struct Canvas {
  int32_t width, height;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB
  std::vector<uint32_t> saved;   // for "restore to previous"
};

uint32_t DecodeFrame(GifWalker& walker, Canvas& canvas, std::vector<uint8_t>& indices) {
  GifFileType* gif = walker.gif.get();
  const GifImageDesc& d = gif->Image;
  if (d.Width <= 0 || d.Height <= 0) return BADI;
  if (uint32_t rc = CheckSize(d.Width, d.Height); rc != RCOK) return rc;
  indices.assign(size_t(d.Width) * d.Height, 0);
  // Interlaced images arrive in four passes.
  static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  bool ok = true;
  if (d.Interlace) {
    for (int pass = 0; pass < 4 && ok; ++pass) {
      for (int y = kStart[pass]; y < d.Height && ok; y += kStep[pass])
        ok = DGifGetLine(gif, &indices[size_t(y) * d.Width], d.Width) == GIF_OK;
    }
  } else {
    for (int y = 0; y < d.Height && ok; ++y)
      ok = DGifGetLine(gif, &indices[size_t(y) * d.Width], d.Width) == GIF_OK;
  }
  const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
  int transparent = walker.hasGcb ? walker.gcb.TransparentColor : NO_TRANSPARENT_COLOR;
  for (int y = 0; y < d.Height; ++y) {
    int32_t cy = d.Top + y;
    if (cy < 0 || cy >= canvas.height) continue;
    for (int x = 0; x < d.Width; ++x) {
      int32_t cx = d.Left + x;
      if (cx < 0 || cx >= canvas.width) continue;
      int index = indices[size_t(y) * d.Width + x];
      if (index == transparent) continue;
      uint32_t colour = 0xFF000000u;
      if (map && index < map->ColorCount) {
        const GifColorType& c = map->Colors[index];
        colour |= uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
      }
      canvas.pixels[size_t(cy) * canvas.width + cx] = colour;
    }
  }
  // A frame cut short still shows what arrived.
  return ok ? RCOK : glib::OKAF;
}

void Dispose(const GifWalker& walker, const GifImageDesc& d, Canvas& canvas) {
  int disposal = walker.hasGcb ? walker.gcb.DisposalMode : DISPOSAL_UNSPECIFIED;
  if (disposal == DISPOSE_BACKGROUND) {
    for (int32_t y = std::max(0, d.Top); y < std::min(canvas.height, d.Top + d.Height); ++y) {
      for (int32_t x = std::max(0, d.Left); x < std::min(canvas.width, d.Left + d.Width); ++x)
        canvas.pixels[size_t(y) * canvas.width + x] = 0;
    }
  } else if (disposal == DISPOSE_PREVIOUS && !canvas.saved.empty()) {
    canvas.pixels = canvas.saved;
  }
}

uint32_t AddCanvasPage(LoadJob& job, const Canvas& canvas, uint32_t delay) {
  PagePtr page;
  uint32_t rc = NewPage(job.request, canvas.width, canvas.height, glib::kPixelRGBA32, page);
  if (rc != RCOK) return rc;
  for (int32_t y = 0; y < canvas.height; ++y)
    std::memcpy(PixelRow(page->bitmap, y), &canvas.pixels[size_t(y) * canvas.width],
                size_t(canvas.width) * 4);
  page->delay = delay;
  return AddPage(job.request, std::move(page), job.options);
}

}  // namespace

uint32_t LoadGif(LoadJob& job) {
  GifWalker walker;
  uint32_t rc = walker.Open(job.source.Bytes());
  if (rc != RCOK) return rc;
  GifFileType* gif = walker.gif.get();
  Canvas canvas;
  canvas.width = gif->SWidth;
  canvas.height = gif->SHeight;
  std::vector<uint8_t> indices;
  bool broken = false;
  uint32_t frame = 0;
  for (; frame < kMaxPages && walker.NextImage(broken); ++frame) {
    if (canvas.pixels.empty()) {
      // Some writers leave the screen size 0: the first frame sets it then.
      if (canvas.width <= 0 || canvas.height <= 0) {
        canvas.width = gif->Image.Left + gif->Image.Width;
        canvas.height = gif->Image.Top + gif->Image.Height;
      }
      rc = CheckSize(canvas.width, canvas.height);
      if (rc != RCOK) return rc;
      canvas.pixels.assign(size_t(canvas.width) * canvas.height, 0);
    }
    GifImageDesc desc = gif->Image;
    int disposal = walker.hasGcb ? walker.gcb.DisposalMode : DISPOSAL_UNSPECIFIED;
    if (disposal == DISPOSE_PREVIOUS) canvas.saved = canvas.pixels;
    rc = DecodeFrame(walker, canvas, indices);
    if (rc == BADI || rc == OMEM) return frame > 0 ? RCOK : rc;
    // Browsers show frames of 0 or 10 ms for 100 ms; so do we.
    uint32_t delay = walker.hasGcb ? uint32_t(walker.gcb.DelayTime) * 10 : 100;
    if (delay <= 10) delay = 100;
    if (job.options.Wants(frame)) {
      uint32_t added = AddCanvasPage(job, canvas, delay);
      if (added != RCOK) return added;
    }
    if (rc != RCOK || job.options.PastRange(frame + 1)) break;
    Dispose(walker, desc, canvas);
    if (!Progress(job.request, int32_t(frame + 1), 0)) return USRA;
  }
  if (job.request->pages.empty()) return frame == 0 ? BADI : glib::BADA;
  return RCOK;
}

uint32_t InfoGif(const Source& source, InfoRecord& info) {
  GifWalker walker;
  uint32_t rc = walker.Open(source.Bytes());
  if (rc != RCOK) return rc;
  GifFileType* gif = walker.gif.get();
  info.SetType("Graphics Interchange Format");
  info.width = gif->SWidth;
  info.height = gif->SHeight;
  info.bitsPerPixel = gif->SColorMap ? gif->SColorMap->BitsPerPixel : 8;
  info.pixelType = glib::kPixelIndexed8;
  uint32_t frames = 0;
  bool broken = false;
  while (frames < kMaxPages && walker.NextImage(broken)) {
    if (frames == 0 && (info.width == 0 || info.height == 0)) {
      info.width = gif->Image.Left + gif->Image.Width;
      info.height = gif->Image.Top + gif->Image.Height;
    }
    // Without a global colour table the first frame's own table gives the depth.
    if (frames == 0 && !gif->SColorMap && gif->Image.ColorMap)
      info.bitsPerPixel = gif->Image.ColorMap->BitsPerPixel;
    ++frames;
    if (!walker.SkipImage()) break;
  }
  if (frames == 0) return BADI;
  info.pageCount = frames;
  info.compression = 2;  // LZW
  if (!walker.comment.empty()) info.SetText(glib::kInfoComment, walker.comment);
  return RCOK;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

int WriteOutput(GifFileType* gif, const GifByteType* data, int length) {
  return static_cast<Sink*>(gif->UserData)->Write(data, size_t(length)) ? length : 0;
}

struct EncoderCloser {
  void operator()(GifFileType* gif) const {
    int error;
    EGifCloseFile(gif, &error);
  }
};

struct Frame {
  std::vector<uint8_t> indices;
  uint32_t palette[256] = {};
  int entries = 0;
  int transparent = -1;
  uint32_t delay = 10;
};

int BitsFor(int entries) {
  int bits = 1;
  while ((1 << bits) < entries) ++bits;
  return bits;
}

// Indices of a page: quantised on its own, or mapped to a shared palette.
uint32_t MakeFrame(const glib::IDEPage& page, const glib::GIFSave& params, uint32_t colours,
                   const uint32_t* shared, int sharedEntries, Frame& frame) {
  bool alpha = !IsOpaque(page.bitmap);
  uint32_t wanted = std::clamp<uint32_t>(colours, 2, 256) - (alpha ? 1 : 0);
  SavePixels pixels;
  uint32_t rc;
  if (shared) {
    // The nearest entry of the shared palette for every pixel.
    glib::CoreBitmap view = page.bitmap;
    view.ops = nullptr;
    view.ownsPixels = 0;
    std::memcpy(view.palette, shared, sizeof view.palette);
    view.paletteSize = uint32_t(sharedEntries);
    glib::LineConverter converter;
    rc = converter.Set(view, glib::kPixelIndexed8);
    if (rc != RCOK) return rc;
    frame.indices.resize(size_t(view.width) * view.height);
    for (int32_t y = 0; y < view.height; ++y)
      converter.GetScanline(y, &frame.indices[size_t(y) * view.width]);
    std::copy(shared, shared + sharedEntries, frame.palette);
    frame.entries = sharedEntries;
  } else {
    rc = pixels.Prepare(page.bitmap, glib::kPixelIndexed8, params.dither != 0,
                        params.grayscale != 0, wanted);
    if (rc != RCOK) return rc;
    frame.entries = std::min(pixels.PaletteEntries(), int(wanted));
    std::copy(pixels.Palette(), pixels.Palette() + frame.entries, frame.palette);
    frame.indices.resize(size_t(pixels.Width()) * pixels.Height());
    for (int32_t y = 0; y < pixels.Height(); ++y)
      std::memcpy(&frame.indices[size_t(y) * pixels.Width()], pixels.Row(y),
                  size_t(pixels.Width()));
  }
  if (alpha && page.bitmap.pixelType == glib::kPixelRGBA32) {
    frame.transparent = std::min(frame.entries, 255);
    frame.entries = std::max(frame.entries, frame.transparent + 1);
    frame.palette[frame.transparent] = 0;
    for (int32_t y = 0; y < page.bitmap.height; ++y) {
      const uint8_t* row = PixelRow(page.bitmap, y);
      for (int32_t x = 0; x < page.bitmap.width; ++x) {
        if (row[x * 4 + 3] < 128)
          frame.indices[size_t(y) * page.bitmap.width + x] = uint8_t(frame.transparent);
      }
    }
  }
  frame.delay = page.delay;
  return RCOK;
}

ColorMapObject* MakeMap(const uint32_t* palette, int entries) {
  int bits = BitsFor(entries);
  ColorMapObject* map = GifMakeMapObject(1 << bits, nullptr);
  if (!map) return nullptr;
  for (int i = 0; i < map->ColorCount; ++i) {
    uint32_t c = i < entries ? palette[i] : 0;
    map->Colors[i] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
  }
  return map;
}

// One palette for all frames, from a picture of the frames stacked (or the first
// frame alone when they are many).
uint32_t SharedPalette(const std::vector<const glib::IDEPage*>& pages, const glib::GIFSave& params,
                       uint32_t colours, uint32_t* palette, int& entries) {
  uint64_t total = 0;
  for (const glib::IDEPage* page : pages)
    total += uint64_t(page->bitmap.width) * page->bitmap.height;
  PagePtr stack;
  const glib::CoreBitmap* source = &pages.front()->bitmap;
  if (total <= (uint64_t(1) << 24)) {
    int32_t width = 0, height = 0;
    for (const glib::IDEPage* page : pages) {
      width = std::max(width, page->bitmap.width);
      height += page->bitmap.height;
    }
    uint32_t rc = NewPage(nullptr, width, height, glib::kPixelRGBA32, stack);
    if (rc != RCOK) return rc;
    int32_t at = 0;
    for (const glib::IDEPage* page : pages) {
      glib::LineConverter converter;
      rc = converter.Set(page->bitmap, glib::kPixelRGBA32);
      if (rc != RCOK) return rc;
      for (int32_t y = 0; y < page->bitmap.height; ++y)
        converter.GetScanline(y, PixelRow(stack->bitmap, at + y));
      at += page->bitmap.height;
    }
    source = &stack->bitmap;
  }
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(*source, glib::kPixelIndexed8, false, params.grayscale != 0,
                               std::clamp<uint32_t>(colours, 2, 256) - 1);
  if (rc != RCOK) return rc;
  entries = std::min(pixels.PaletteEntries(), 255);
  std::copy(pixels.Palette(), pixels.Palette() + entries, palette);
  return RCOK;
}

}  // namespace

uint32_t SaveGif(SaveJob& job) {
  const auto& params = *static_cast<const glib::GIFSave*>(job.params);
  std::vector<const glib::IDEPage*> pages = SavePages(job.request);
  uint32_t colours = params.colorCount ? params.colorCount : 256;
  int32_t width = 0, height = 0;
  for (const glib::IDEPage* page : pages) {
    width = std::max(width, page->bitmap.width);
    height = std::max(height, page->bitmap.height);
  }
  if (width > 65535 || height > 65535) return BADA;
  uint32_t shared[256] = {};
  int sharedEntries = 0;
  bool global = params.createGlobalPalette && pages.size() > 1;
  if (global) {
    uint32_t rc = SharedPalette(pages, params, colours, shared, sharedEntries);
    if (rc != RCOK) return rc;
  }
  int error = 0;
  std::unique_ptr<GifFileType, EncoderCloser> gif(EGifOpen(&job.sink, &WriteOutput, &error));
  if (!gif) return OMEM;
  EGifSetGifVersion(gif.get(), true);
  ColorMapObject* globalMap = global ? MakeMap(shared, sharedEntries) : nullptr;
  int put = EGifPutScreenDesc(gif.get(), width, height, globalMap ? globalMap->BitsPerPixel : 8, 0,
                              globalMap);
  GifFreeMapObject(globalMap);
  if (put == GIF_ERROR) return WERR;
  if (pages.size() > 1) {
    // Loop for ever.
    const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(gif.get(), 3, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif.get()) == GIF_ERROR)
      return WERR;
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    Frame frame;
    uint32_t rc =
        MakeFrame(*pages[i], params, colours, global ? shared : nullptr, sharedEntries, frame);
    if (rc != RCOK) return rc;
    GraphicsControlBlock gcb{};
    // Full-canvas frames with transparency clear the canvas before the next one.
    gcb.DisposalMode = frame.transparent >= 0 ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
    gcb.DelayTime = int(std::min<uint32_t>((frame.delay + 5) / 10, 65535));
    gcb.TransparentColor = frame.transparent >= 0 ? frame.transparent : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    size_t length = EGifGCBToExtension(&gcb, extension);
    if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR)
      return WERR;
    ColorMapObject* local =
        global && frame.transparent < 0 ? nullptr : MakeMap(frame.palette, frame.entries);
    const glib::CoreBitmap& b = pages[i]->bitmap;
    put = EGifPutImageDesc(gif.get(), 0, 0, b.width, b.height, params.interlace != 0, local);
    GifFreeMapObject(local);
    if (put == GIF_ERROR) return WERR;
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (params.interlace ? 4 : 1); ++pass) {
      int start = params.interlace ? kStart[pass] : 0, step = params.interlace ? kStep[pass] : 1;
      for (int32_t y = start; y < b.height; y += step) {
        if (EGifPutLine(gif.get(), &frame.indices[size_t(y) * b.width], b.width) == GIF_ERROR)
          return WERR;
      }
    }
    if (!Progress(job.request, int32_t(i + 1), int32_t(pages.size()))) return USRA;
  }
  if (EGifCloseFile(gif.release(), &error) == GIF_ERROR) return WERR;
  return RCOK;
}

}  // namespace vexlo
