// glib::Film: the image document. An ordered list of slides (pages or animation
// frames) with a current index, a background colour, a canvas and one progress and
// notification callback. Loading, thumbnails, file information and saving go through
// the filter plug-in manager (FilmIo.cpp); geometry and pixel operations run over
// slide ranges (FilmOps.cpp); drawing goes to a DrawTarget (FilmDraw.cpp).
//
// The handle holds its virtual table and its state block (_FLM). The virtual
// operations keep a fixed slot order: the display control overrides the load and
// clear slots, so everything that empties or refills a Film calls Clear through the
// table.
//
// Slide indices are 0-based and -1 means the current slide; an index at or beyond the
// count gives the operation's "nothing" answer (false, null, 0x3FFF0000, -1, BADA).
// Ranges are (first, count): count -1 runs to the last slide, the range is cut at the
// count, and a first index at or beyond the count gives the "nothing" answer.
#pragma once

#include <cstdint>

#include "filters/FilterManager.h"
#include "formats/ClbData.h"
#include "formats/GenArray.h"
#include "formats/GenBytes.h"
#include "formats/GenString.h"
#include "formats/ImageLoad.h"
#include "formats/ImageSave.h"
#include "formats/Retcode.h"
#include "image/DrawTarget.h"
#include "image/FilmTypes.h"
#include "image/Slide.h"
#include "runtime/ScaleTypes.h"

struct VStream;

namespace glib {

class Film;

constexpr int32_t kCurrentSlide = -1;

// The state block of a Film, created and owned by it.
struct _FLM final {
  explicit _FLM(Film* handle);

  // Decodes a memory block with the progress switched off and hands over the bitmap
  // of one layer of the decoded slides (slide index counted from the first decoded
  // slide); the decoded slides are removed again. Null on failure or beyond a count.
  virtual CoreBitmap* DecodeLayer(const void* data, uint32_t size, uint32_t formatHint,
                                  int32_t slideIndex, int32_t layerIndex);

  FilterAccess filterAccess;
  gen::array_ptr<Slide> slides;
  gen::string filterMessage;
  Rect canvas;
  int32_t current = 0;
  uint32_t background = 0xFFFFFFFF;
  ProgressCallback progress = nullptr;
  uintptr_t progressContext = 0;
  gen::byte_array metadata;
  uint32_t saveDefaults[5] = {0, 0, 0, 65536, 65536};
  Film* owner;
  // The byte handed to the plug-ins' deep probes.
  uint8_t probeFlag = 0;
  // Halftone stretching is not used for pictures this wide or tall.
  int32_t halftoneLimit = 4096;

  virtual ~_FLM();
  _FLM(const _FLM&) = delete;
  _FLM& operator=(const _FLM&) = delete;
};

class Film {
 public:
  Film();
  // A Film on another filter manager than the process-wide one: a second thread
  // keeps to its own manager (see FilterManager).
  explicit Film(FilterManager& manager);
  virtual ~Film();                                                                     // 0
  virtual ERetcode LoadW(const char16_t* path, uint32_t format, ImageLoad* params);    // 1
  virtual ERetcode Load(const char* path, uint32_t format, ImageLoad* params);         // 2
  virtual ERetcode AppendW(const char16_t* path, uint32_t format, ImageLoad* params);  // 3
  virtual ERetcode Append(const char* path, uint32_t format, ImageLoad* params);       // 4
  virtual ERetcode InsertW(const char16_t* path, uint32_t format, ImageLoad* params,
                           int32_t position);  // 5
  virtual ERetcode Insert(const char* path, uint32_t format, ImageLoad* params,
                          int32_t position);  // 6
  virtual ERetcode LoadMemory(const void* data, uint32_t size, uint32_t format,
                              ImageLoad* params);  // 7
  virtual ERetcode AppendMemory(const void* data, uint32_t size, uint32_t format,
                                ImageLoad* params);  // 8
  virtual ERetcode InsertMemory(const void* data, uint32_t size, uint32_t format, ImageLoad* params,
                                int32_t position);                                     // 9
  virtual ERetcode LoadStream(VStream* stream, uint32_t format, ImageLoad* params);    // 10
  virtual ERetcode AppendStream(VStream* stream, uint32_t format, ImageLoad* params);  // 11
  virtual ERetcode InsertStream(VStream* stream, uint32_t format, ImageLoad* params,
                                int32_t position);  // 12
  virtual ERetcode LoadThumbnailW(const char16_t* path, uint32_t format, bool fallBack,
                                  int32_t maxWidth, int32_t maxHeight, ImageLoad* params);  // 13
  virtual ERetcode LoadThumbnail(const char* path, uint32_t format, bool fallBack, int32_t maxWidth,
                                 int32_t maxHeight, ImageLoad* params);  // 14
  virtual ERetcode LoadThumbnailMemory(const void* data, uint32_t size, uint32_t format,
                                       bool fallBack, int32_t maxWidth, int32_t maxHeight,
                                       ImageLoad* params);  // 15
  virtual ERetcode LoadThumbnailStream(VStream* stream, uint32_t format, bool fallBack,
                                       int32_t maxWidth, int32_t maxHeight,
                                       ImageLoad* params);  // 16
  // module: an HMODULE (null: the program); type: a resource type name or number.
  virtual ERetcode LoadResource(void* module, uint16_t id, const char* type, uint32_t format,
                                ImageLoad* params);  // 17
  // infoParams: where the plug-in stores its FileInfoRecord* (may be null).
  virtual ERetcode GetFileInfoW(const char16_t* path, void* infoParams, uint32_t format);  // 18
  virtual ERetcode GetFileInfo(const char* path, void* infoParams, uint32_t format);       // 19
  virtual ERetcode GetFileInfoMemory(const void* data, uint32_t size, void* infoParams,
                                     uint32_t format);                                     // 20
  virtual ERetcode GetFileInfoStream(VStream* stream, void* infoParams, uint32_t format);  // 21
  virtual ERetcode SaveW(const char16_t* path, ImageSave* params);                         // 22
  virtual ERetcode Save(const char* path, ImageSave* params);                              // 23
  // The block comes from the page allocator: release it with platform::PageFree.
  virtual ERetcode SaveMemory(void** data, uint32_t* size, ImageSave* params);  // 24
  virtual void GetFilterFolder(char* buffer, uint32_t size);                    // 25
  // A new Film whose slides are scaled copies; null when memory is short.
  virtual Film* ScaleToNewFilm(int32_t width, int32_t height, EScaleType type, uint32_t scaleFlags,
                               const Rect* source);                                 // 26
  virtual void Clear();                                                             // 27
  virtual void SetMetadata(const void* bytes, uint32_t count);                      // 28
  virtual const uint8_t* GetMetadata(uint32_t* count);                              // 29
  virtual void SetSlideMetadata(int32_t slide, const void* bytes, uint32_t count);  // 30
  virtual const uint8_t* GetSlideMetadata(int32_t slide, uint32_t* count);          // 31
  virtual void SetLayerMetadata(int32_t slide, int32_t layer, const void* bytes,
                                uint32_t count);  // 32
  virtual const uint8_t* GetLayerMetadata(int32_t slide, int32_t layer,
                                          uint32_t* count);  // 33

  Film(const Film&) = delete;
  Film& operator=(const Film&) = delete;

  _FLM* State() const { return state_; }

  // ---- slides and navigation ----
  uint32_t GetSlideCount() const { return state_->slides.size(); }
  int32_t GetCurrentIndex() const { return state_->current; }
  bool First();
  bool Prev();
  bool Next();
  bool Last();
  bool GoTo(int32_t index);
  Slide* GetCurrentSlide() const;
  // The slide at an index (-1: current); null beyond the count.
  Slide* GetSlide(int32_t index) const;
  bool RemoveSlides(int32_t first, int32_t count);
  bool AddSlide(Slide* slide);

  // RCOK when a plug-in recognises the file, else detection's code (MISS, NSUP).
  ERetcode CanOpen(const char* path);
  ERetcode CanOpenW(const char16_t* path);

  void SetProgress(ProgressCallback callback, uintptr_t context);
  void GetProgress(ProgressCallback& callback, uintptr_t& context) const;
  const gen::string& GetFilterMessage() const { return state_->filterMessage; }
  void SetProbeFlag(uint8_t flag) { state_->probeFlag = flag; }

  // ---- geometry and attributes ----
  bool SetCanvas(int32_t width, int32_t height, bool noBaseLayer, bool refill);
  void GetSlideSize(int32_t index, int32_t& width, int32_t& height) const;
  int32_t GetSlideWidth(int32_t index) const;
  int32_t GetSlideHeight(int32_t index) const;
  bool MarkChanged(int32_t first, int32_t count);
  bool SetResolution(int32_t first, int32_t count, float x, float y);
  bool SetAlpha(uint8_t alpha, int32_t first, int32_t count);
  bool ApplyResolution(int32_t first, int32_t count, uint32_t scaleFlags);
  void SetBackground(uint32_t colour, int32_t first, int32_t count);
  uint32_t GetBackground(int32_t index) const;

  // ---- layers ----
  uint32_t GetLayerPixelType(int32_t slide, int32_t layer) const;
  ERetcode ConvertLayer(uint32_t pixelType, bool flag1, bool flag2, int32_t slide, int32_t layer);
  int64_t CountLayerColours(int32_t slide, int32_t layer) const;

  // ---- drawing ----
  // The picture to show for the slide: its type (0x3FFF0000 when nothing) with its
  // rows, palette and picture (each out-pointer may be null).
  uint32_t GetSlideBitmap(int32_t index, uint8_t** pixels, const uint32_t** palette,
                          OwnedObject** picture);
  // The same as a record, rows brought to the padded rule; null when nothing.
  const CoreBitmap* PrepareSlideBitmap(int32_t index, bool forceComposite);
  // The current slide unscaled from the source origin; an empty Film fills the
  // destination with its background.
  bool Draw(DrawTarget& target, const Rect& destination, int32_t sourceX, int32_t sourceY);
  bool DrawEx(DrawTarget& target, const Rect& destination, const Rect& source, StretchMode mode);
#if defined(_WIN32)
  // A top-down DIB section of the slide (HBITMAP); null on failure.
  void* CreateSlideDIB(int32_t index, bool forceComposite);
#endif

  // ---- copies ----
  Film* Clone() const;
  uint32_t AssignFrom(const Film& other, int32_t first, int32_t count);
  Film* ExtractSlides(int32_t first, int32_t count, const Rect& rect) const;
  // The open-dialog filter text in a block from malloc (the caller frees it).
  bool BuildOpenFilter(char** text, uint32_t* length, bool keepBars, bool sort);

  // ---- range operations ----
  ERetcode Stretch(int32_t width, int32_t height, EScaleType type, bool keepProportions,
                   int32_t first, int32_t count, uint32_t scaleFlags);
  bool Mirror(bool vertical, bool horizontal, int32_t first, int32_t count);
  ERetcode Rotate(double degrees, bool interpolate, int32_t first, int32_t count);
  ERetcode ApplyEffect(uint32_t effect, const void* params, int32_t first, int32_t count);

  // ---- clipboard (Windows; false elsewhere) ----
  bool CopyToClipboard(int32_t index, const Rect& rect);
  bool PasteFromClipboard(int32_t index);

  // Living Films in the process, and whether the graphics service is started.
  static int LivingFilms();
  static bool GraphicsStarted();

 protected:
  _FLM* state_;

 private:
  enum class Source { kPath, kWidePath, kMemory, kStream };
  struct Input {
    Source kind = Source::kPath;
    const void* path = nullptr;
    const void* data = nullptr;
    uint32_t size = 0;
    VStream* stream = nullptr;

    bool IsValid() const {
      if (kind == Source::kMemory) return data && size != 0;
      return kind == Source::kStream ? stream != nullptr : path != nullptr;
    }
    // What the plug-in entry gets as its path argument.
    const void* PathArgument() const {
      return kind == Source::kPath || kind == Source::kWidePath ? path : nullptr;
    }
  };

  ERetcode LoadFrom(const Input& input, uint32_t format, ImageLoad* params, bool replace,
                    int32_t position);
  ERetcode LoadThumbnailFrom(const Input& input, uint32_t format, bool fallBack, int32_t maxWidth,
                             int32_t maxHeight, ImageLoad* params);
  ERetcode GetFileInfoFrom(const Input& input, void* infoParams, uint32_t format);
  ERetcode SaveTo(const Input& output, void** data, uint32_t* size, ImageSave* params);
  void FillRequest(ImageDataExchange& request, const Input& input, uint32_t format);
  ERetcode BuildSlides(ImageDataExchange& request, const Input& input, bool thumbnail,
                       int32_t maxWidth, int32_t maxHeight);
  void CopyAttributesFrom(const _FLM& other);
  bool DrawSlide(DrawTarget& target, const Rect& destination, const Rect& source, StretchMode mode);
};

}  // namespace glib
