// HEIF/HEIC and AVIF. A coded picture or a grid of them, turned or mirrored or neither,
// is decoded by our own track decoder (dav1d or libde265) and converted by our own
// conversion; cropped pictures, layer choices, grids with alpha and transformed
// pictures with alpha go through libheif, with our HEVC decoder plug-in over libde265
// (it checks the stream's picture size before libde265 allocates for it) and libheif's
// built-in AV1 (dav1d) decoder. The primary image comes first, the file's other
// top-level images follow as pages; alpha is kept (premultiplied colour made straight),
// deeper samples (10 and 12 bits) become 16-bit samples. The EXIF block and an ICC
// profile travel with every page; the thumbnail entry decodes the embedded thumbnail of
// the primary image.
#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <climits>
#include <cmath>
#include <map>
#include <mutex>

#include "runtime/Premultiply.h"
#include "vexlo/ColorManage.h"
#include "vexlo/Formats.h"
#include "vexlo/HevcParams.h"
#include "vexlo/ImageSequence.h"
#include "vexlo/IsoTracks.h"
#include "vexlo/Jpeg.h"

namespace vexlo {
namespace {

struct ContextCloser {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleCloser {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageCloser {
  void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsCloser {
  void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};
using ContextPtr = std::unique_ptr<heif_context, ContextCloser>;
using HandlePtr = std::unique_ptr<heif_image_handle, HandleCloser>;
using ImagePtr = std::unique_ptr<heif_image, ImageCloser>;

// What a libheif error means for the caller: memory it could not have, a limit we set,
// or a damaged or unsupported file.
uint32_t Code(const heif_error& error) {
  switch (error.code) {
    case heif_error_Ok:
      return RCOK;
    case heif_error_Memory_allocation_error:
      return OMEM;
    case heif_error_Unsupported_feature:
    case heif_error_Unsupported_filetype:
      return error.subcode == heif_suberror_Unsupported_codec ? UNSF : BADI;
    default:
      return error.subcode == heif_suberror_Security_limit_exceeded ? OMEM : BADI;
  }
}

// ---------------------------------------------------------------------------
// The HEVC decoder libheif uses: libde265 behind a check of every SPS, so that no
// stream gets a picture (and the decoder's per-block tables) larger than the image
// the file declares, or than the pixel cap.

// The pixels the images being decoded declare. libheif may decode the tiles of a
// grid image on threads of its own, where nothing of the caller is known: the
// decoder takes the largest bound among the decodes in progress (with viewers
// decoding side by side a stream may get another file's bound, never more than
// the cap).
class DeclaredSizes {
 public:
  static DeclaredSizes& Get() {
    static DeclaredSizes sizes;
    return sizes;
  }
  void Add(uint64_t pixels) {
    std::lock_guard lock(mutex_);
    ++counts_[pixels];
  }
  void Remove(uint64_t pixels) {
    std::lock_guard lock(mutex_);
    auto at = counts_.find(pixels);
    if (at != counts_.end() && --at->second == 0) counts_.erase(at);
  }
  // 0 when no decode has said (only the cap applies then).
  uint64_t Largest() {
    std::lock_guard lock(mutex_);
    return counts_.empty() ? 0 : counts_.rbegin()->first;
  }

 private:
  std::mutex mutex_;
  std::map<uint64_t, int> counts_;
};

class DeclaredScope {
 public:
  explicit DeclaredScope(uint64_t pixels) : pixels_(pixels) { DeclaredSizes::Get().Add(pixels_); }
  ~DeclaredScope() { DeclaredSizes::Get().Remove(pixels_); }
  DeclaredScope(const DeclaredScope&) = delete;
  DeclaredScope& operator=(const DeclaredScope&) = delete;

 private:
  uint64_t pixels_;
};

struct HevcDecoder {
  HevcDecoder() : check({PixelLimit(), DeclaredSizes::Get().Largest()}) {}
  de265_decoder_context* context = nullptr;
  HevcStreamCheck check;
};

// libheif's own default limit on a side.
constexpr int64_t kHeifSideLimit = 32768;

constexpr char kHevcDecoderName[] = "vexlo-libde265";
// libheif's own libde265 decoder has the default priority, 100. (libheif 1.15 asks a
// context's own decoders first anyway; the priority keeps ours first where it does not.)
constexpr int kHevcPriority = 200;

heif_error HeifError(heif_error_code code, heif_suberror_code subcode, const char* message) {
  return {code, subcode, message};
}

heif_error CheckError(uint32_t rc) {
  if (rc == OMEM)
    return HeifError(heif_error_Memory_allocation_error, heif_suberror_Security_limit_exceeded,
                     "HEVC picture larger than the pixel limit");
  return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                   "HEVC stream malformed or larger than its image");
}

// (libheif's own heif_error_ok is not exported from its shared library.)
heif_error HeifOk() { return {heif_error_Ok, heif_suberror_Unspecified, "Success"}; }

const char* HevcName() { return kHevcDecoderName; }

int HevcSupports(heif_compression_format format) {
  return format == heif_compression_HEVC ? kHevcPriority : 0;
}

void HevcFree(void* opaque) {
  auto* decoder = static_cast<HevcDecoder*>(opaque);
  if (!decoder) return;
  if (decoder->context) de265_free_decoder(decoder->context);
  delete decoder;
}

heif_error HevcNew(void** out) {
  *out = nullptr;
  auto* decoder = new (std::nothrow) HevcDecoder;
  if (!decoder) return HeifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "");
  decoder->context = de265_new_decoder();
  // One worker thread, as libheif's own decoder has: the slices are decoded there
  // while this thread goes on parsing.
  if (!decoder->context || !de265_isOK(de265_start_worker_threads(decoder->context, 1))) {
    HevcFree(decoder);
    return HeifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "");
  }
  *out = decoder;
  return HeifOk();
}

void HevcSetStrict(void*, int) {}

// The chunk is checked whole before any of its NAL units reaches libde265.
heif_error HevcPush(void* opaque, const void* data, size_t size) {
  auto* decoder = static_cast<HevcDecoder*>(opaque);
  std::span<const uint8_t> chunk(static_cast<const uint8_t*>(data), size);
  uint32_t rc = decoder->check.Push(chunk);
  if (rc != RCOK) return CheckError(rc);
  // The check has seen every unit whole, so the walk cannot fail here.
  std::span<const uint8_t> nal;
  while (NextHevcNal(chunk, nal)) {
    if (!de265_isOK(de265_push_NAL(decoder->context, nal.data(), int(nal.size()), 0, nullptr)))
      return HeifError(heif_error_Memory_allocation_error, heif_suberror_Unspecified, "");
  }
  return HeifOk();
}

// The decoded picture's planes copied into a new libheif image.
heif_error CopyPicture(const de265_image* picture, heif_image** out) {
  de265_chroma format = de265_get_chroma_format(picture);
  bool mono = format == de265_chroma_mono;
  heif_chroma chroma = mono                         ? heif_chroma_monochrome
                       : format == de265_chroma_420 ? heif_chroma_420
                       : format == de265_chroma_422 ? heif_chroma_422
                                                    : heif_chroma_444;
  int width = de265_get_image_width(picture, 0), height = de265_get_image_height(picture, 0);
  heif_image* image = nullptr;
  heif_error error = heif_image_create(
      width, height, mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr, chroma, &image);
  if (error.code != heif_error_Ok) return error;
  ImagePtr owned(image);
  const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
  for (int c = 0; c < (mono ? 1 : 3); ++c) {
    int w = de265_get_image_width(picture, c), h = de265_get_image_height(picture, c);
    int bits = de265_get_bits_per_pixel(picture, c);
    int inStride = 0, outStride = 0;
    const uint8_t* in = de265_get_image_plane(picture, c, &inStride);
    if (!in || w <= 0 || h <= 0 || bits < 1 || bits > 16)
      return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "bad plane");
    error = heif_image_add_plane(image, channels[c], w, h, bits);
    if (error.code != heif_error_Ok) return error;
    uint8_t* plane = heif_image_get_plane(image, channels[c], &outStride);
    size_t rowBytes = size_t(w) * (bits > 8 ? 2 : 1);
    if (!plane || size_t(outStride) < rowBytes || size_t(inStride) < rowBytes)
      return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "bad plane");
    for (int y = 0; y < h; ++y)
      std::memcpy(plane + size_t(y) * size_t(outStride), in + size_t(y) * size_t(inStride),
                  rowBytes);
  }
  *out = owned.release();
  return HeifOk();
}

heif_error HevcDecode(void* opaque, heif_image** out) {
  *out = nullptr;
  auto* decoder = static_cast<HevcDecoder*>(opaque);
  if (decoder->check.Result() != RCOK) return CheckError(decoder->check.Result());
  if (!de265_isOK(de265_flush_data(decoder->context)))
    return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "");
  // Each call decodes a part of what was pushed; the stream is finite, so "more"
  // ends, but a bound on the calls keeps a decoder fault from spinning.
  int more = 1;
  for (int calls = 0; more && calls < (1 << 24); ++calls) {
    // The picture is whole once it is out; what follows it is not needed.
    if (de265_peek_next_picture(decoder->context)) break;
    de265_error rc = de265_decode(decoder->context, &more);
    if (rc == DE265_ERROR_WAITING_FOR_INPUT_DATA) break;
    if (!de265_isOK(rc))
      return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified,
                       de265_get_error_text(rc));
  }
  const de265_image* picture = de265_get_next_picture(decoder->context);
  if (!picture)
    return HeifError(heif_error_Decoder_plugin_error, heif_suberror_Unspecified, "no picture");
  heif_error error = CopyPicture(picture, out);
  de265_release_next_picture(decoder->context);
  return error;
}

const heif_decoder_plugin kHevcPlugin = {
    3,         &HevcName, nullptr,     nullptr,        &HevcSupports,   &HevcNew,
    &HevcFree, &HevcPush, &HevcDecode, &HevcSetStrict, kHevcDecoderName};

// The parsed file over the source's bytes (which outlive it).
uint32_t OpenContext(std::span<const uint8_t> bytes, ContextPtr& context) {
  context.reset(heif_context_alloc());
  if (!context) return OMEM;
  // Our HEVC decoder for this file only, above libheif's own (without it an HEVC
  // stream could allocate for any size it claims). Registered with the context, it
  // leaves other users of a shared libheif alone and is never left behind in
  // libheif's global list when the plug-in is unloaded.
  if (heif_register_decoder(context.get(), &kHevcPlugin).code != heif_error_Ok) return IERR;
  // libheif's own limit on the sides (tighter than ours) stays in force.
  return Code(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                         nullptr));
}

// The top-level images, the primary one first, then the others in file order.
std::vector<heif_item_id> PageIds(heif_context* context) {
  int count = heif_context_get_number_of_top_level_images(context);
  std::vector<heif_item_id> ids(size_t(std::clamp(count, 0, int(kMaxPages))));
  if (ids.empty()) return ids;
  ids.resize(
      size_t(heif_context_get_list_of_top_level_image_IDs(context, ids.data(), int(ids.size()))));
  heif_item_id primary = 0;
  if (heif_context_get_primary_image_ID(context, &primary).code == heif_error_Ok) {
    auto at = std::find(ids.begin(), ids.end(), primary);
    if (at != ids.end()) std::rotate(ids.begin(), at, at + 1);
  }
  return ids;
}

// The EXIF block without the four-byte offset HEIF puts in front of it (and without
// the JPEG-style header that usually follows).
std::vector<uint8_t> Exif(const heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
  size_t size = heif_image_handle_get_metadata_size(handle, id);
  if (size < 4 || size > (size_t(1) << 26)) return {};
  std::vector<uint8_t> block(size);
  if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return {};
  Reader in(block);
  uint32_t offset = in.U32BE();
  if (offset > in.Left()) return {};
  std::span<const uint8_t> tiff = TiffExif(std::span<const uint8_t>(block).subspan(4 + offset));
  return {tiff.begin(), tiff.end()};
}

// The ICC profile (an nclx description is not one).
std::vector<uint8_t> Profile(const heif_image_handle* handle) {
  heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
  size_t size = heif_image_handle_get_raw_color_profile_size(handle);
  if (size == 0 || size > (size_t(1) << 26)) return {};
  std::vector<uint8_t> icc(size);
  if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code != heif_error_Ok) return {};
  return icc;
}

bool Wide(const heif_image_handle* handle, const LoadOptions& options) {
  return heif_image_handle_get_luma_bits_per_pixel(handle) > 8 && !options.reduceTo8Bits;
}

// Deeper samples scaled to the full 16-bit range (bit replication, as a PNG decoder
// widens them), red and blue exchanged.
void WidenRow(const uint16_t* in, uint16_t* out, size_t width, size_t n, int bits) {
  int up = 16 - bits, down = 2 * bits - 16;
  auto widen = [&](uint16_t v) {
    uint32_t s = std::min<uint32_t>(v, (1u << bits) - 1);
    return uint16_t(s << up | (down > 0 ? s >> down : 0));
  };
  for (size_t x = 0; x < width; ++x) {
    out[x * n] = widen(in[x * n + 2]);
    out[x * n + 1] = widen(in[x * n + 1]);
    out[x * n + 2] = widen(in[x * n]);
    if (n == 4) out[x * 4 + 3] = widen(in[x * 4 + 3]);
  }
}

// Decodes one image (a top-level image or a thumbnail) into a new page of the request,
// with the file's metadata; the page's rows are allocated, and so the size checked,
// before anything is decoded.
uint32_t DecodePage(LoadJob& job, const MetaItems& items, heif_context* context,
                    const heif_image_handle* handle, heif_item_id id, std::span<const uint8_t> exif,
                    std::span<const uint8_t> icc) {
  int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
  uint32_t rc = CheckSize(width, height);
  if (rc != RCOK) return rc;
  bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;

  // One coded picture (most files) or a grid of them (a phone's photograph, its tiles
  // decoded side by side straight into the page) goes past libheif: our track decoder
  // and our own conversion take the place of its two conversions, to planar and then
  // to interleaved RGB, which cost a third of the time. Whatever that path cannot
  // decode is left to libheif. Sizes compare as the picture shows, turned.
  auto shows = [&](uint32_t w, uint32_t h, const std::vector<StillTransform>& transforms) {
    size_t turns = 0;
    for (const StillTransform& t : transforms)
      turns += t.kind == StillTransform::kTurn ? t.value : 0;
    if (turns % 2) std::swap(w, h);
    return w == uint32_t(width) && h == uint32_t(height);
  };
  StillGrid grid;
  if (!alpha && items.Grid(id, grid) && shows(grid.width, grid.height, grid.transforms)) {
    rc = LoadGrid(job, grid, exif, icc);
    if (rc == RCOK || rc == glib::USRA) return rc;
  }
  ImageTrack colour, alphaTrack;
  bool hasAlpha = false;
  if (items.Still(id, colour, alphaTrack, hasAlpha) && hasAlpha == alpha &&
      shows(colour.width, colour.height, colour.transforms)) {
    rc = LoadStill(job, colour, hasAlpha ? &alphaTrack : nullptr, exif, icc);
    if (rc == RCOK || rc == glib::USRA) return rc;
  }
  bool wide = Wide(handle, job.options);
  PagePtr page;
  rc = NewPage(job.request, width, height, YuvPageType(alpha, wide), page);
  if (rc != RCOK) return rc;

  std::unique_ptr<heif_decoding_options, OptionsCloser> options(heif_decoding_options_alloc());
  if (!options) return OMEM;
  options->convert_hdr_to_8bit = wide ? 0 : 1;
  // The coded size before cropping and rotation, which the HEVC stream must match.
  int64_t ispeWidth = heif_image_handle_get_ispe_width(handle);
  int64_t ispeHeight = heif_image_handle_get_ispe_height(handle);
  DeclaredScope declared(ispeWidth > 0 && ispeHeight > 0 ? uint64_t(ispeWidth * ispeHeight)
                                                         : uint64_t(width) * uint64_t(height));
  // libheif allocates a grid image's canvas for the size its grid description gives,
  // which may be far beyond the declared one. Its limit is on the sides, so it is set
  // to twice the declared sides but no more than the side of a square at the pixel
  // cap (never below the declared sides themselves).
  int64_t side = std::max({ispeWidth, ispeHeight, int64_t(width), int64_t(height)});
  int64_t capSide = int64_t(std::sqrt(double(PixelLimit())));
  int64_t limit = std::max(side + 1, std::min(2 * side, capSide));
  heif_context_set_maximum_image_size_limit(context,
                                            int(std::clamp<int64_t>(limit, 64, kHeifSideLimit)));
  heif_chroma chroma =
      wide ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* decoded = nullptr;
  rc = Code(heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, options.get()));
  ImagePtr image(decoded);
  if (rc != RCOK) return rc;
  if (!image) return BADI;
  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (!plane || stride <= 0 ||
      heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
      heif_image_get_height(image.get(), heif_channel_interleaved) != height)
    return BADI;
  size_t n = alpha ? 4 : 3;
  int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  if (wide && (bits <= 8 || bits > 16)) return BADI;
  // libheif leaves premultiplied colour as it is; pages hold straight colour.
  bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = plane + size_t(y) * size_t(stride);
    uint8_t* out = PixelRow(page->bitmap, y);
    if (wide) {
      WidenRow(reinterpret_cast<const uint16_t*>(in), reinterpret_cast<uint16_t*>(out),
               size_t(width), n, bits);
    } else {
      SwapRedBlue(in, out, size_t(width), n);
    }
    if (premultiplied)
      wide ? glib::Unpremultiply<uint16_t>(out, width) : glib::Unpremultiply<uint8_t>(out, width);
  }
  image.reset();  // the decoder's copy is not needed past here

  return AddRgbPage(job.request, std::move(page), job.options, exif, icc);
}

HandlePtr Handle(heif_context* context, heif_item_id id) {
  heif_image_handle* handle = nullptr;
  if (heif_context_get_image_handle(context, id, &handle).code != heif_error_Ok) {
    heif_image_handle_release(handle);
    return nullptr;
  }
  return HandlePtr(handle);
}

bool IsAvif(std::span<const uint8_t> bytes) {
  int size = int(std::min<size_t>(bytes.size(), INT_MAX));
  return heif_has_compatible_brand(bytes.data(), size, "avif") == 1 ||
         heif_has_compatible_brand(bytes.data(), size, "avis") == 1;
}

// libheif puts a grid image's tiles into a canvas of the size the grid's description
// gives, which may be far beyond the size the image declares (and its side limit
// cannot tell a long panorama from a square). A grid larger than its image is
// damaged.
uint32_t CheckGrid(const MetaItems& items, heif_item_id id, const heif_image_handle* handle) {
  uint64_t width = 0, height = 0;
  if (!items.GridSize(id, width, height)) return RCOK;
  int64_t declaredWidth = heif_image_handle_get_ispe_width(handle);
  int64_t declaredHeight = heif_image_handle_get_ispe_height(handle);
  if (declaredWidth <= 0 || declaredHeight <= 0) return CheckSize(int64_t(width), int64_t(height));
  return width > uint64_t(declaredWidth) || height > uint64_t(declaredHeight) ? BADI : RCOK;
}

// An image sequence's picture track (and its alpha track), when the file has one:
// its frames are the pages, and the still items (a copy of the first frame) are not.
struct Sequence {
  explicit Sequence(std::span<const uint8_t> bytes) {
    // A damaged 'moov' still gives the tracks read before the damage.
    ReadImageTracks(bytes, tracks, kMaxPages);
    for (uint32_t codec : {FourCc("av01"), FourCc("hvc1"), FourCc("hev1")})
      if ((track = PictureTrack(tracks, codec))) break;
    if (track) alpha = AlphaTrackFor(tracks, *track);
  }
  Sequence(const Sequence&) = delete;  // the pointers are into `tracks`
  Sequence& operator=(const Sequence&) = delete;
  std::vector<ImageTrack> tracks;
  const ImageTrack* track = nullptr;
  const ImageTrack* alpha = nullptr;
};

// The EXIF block and profile of the primary image, when libheif could read the items.
void PrimaryMetadata(heif_context* context, std::vector<uint8_t>& exif, std::vector<uint8_t>& icc) {
  if (!context) return;
  std::vector<heif_item_id> ids = PageIds(context);
  HandlePtr primary = ids.empty() ? nullptr : Handle(context, ids[0]);
  if (!primary) return;
  exif = Exif(primary.get());
  icc = Profile(primary.get());
}

}  // namespace

uint32_t LoadHeif(LoadJob& job) {
  ContextPtr context;
  uint32_t rc = OpenContext(job.source.Bytes(), context);
  Sequence sequence(job.source.Bytes());
  if (sequence.track) {
    std::vector<uint8_t> exif, icc;
    PrimaryMetadata(rc == RCOK ? context.get() : nullptr, exif, icc);
    return LoadSequence(job, *sequence.track, sequence.alpha, exif, icc);
  }
  if (rc != RCOK) return rc;
  std::vector<heif_item_id> ids = PageIds(context.get());
  if (ids.empty()) return BADI;
  MetaItems items(job.source.Bytes());
  for (size_t index = 0; index < ids.size(); ++index) {
    if (job.options.PastRange(index)) break;
    if (!job.options.Wants(index)) continue;
    HandlePtr handle = Handle(context.get(), ids[index]);
    if (!handle) return BADI;
    std::vector<uint8_t> exif = Exif(handle.get()), icc = Profile(handle.get());
    rc = CheckGrid(items, ids[index], handle.get());
    if (rc == RCOK) rc = DecodePage(job, items, context.get(), handle.get(), ids[index], exif, icc);
    if (rc != RCOK) {
      // Images after a damaged one are lost; the ones before it are kept.
      if (rc == BADI && !job.request->pages.empty()) return RCOK;
      return rc;
    }
    if (!Progress(job.request, int32_t(index + 1), int32_t(ids.size()))) return USRA;
  }
  return job.request->pages.empty() ? BADA : RCOK;
}

uint32_t ThumbnailHeif(LoadJob& job) {
  ContextPtr context;
  uint32_t rc = OpenContext(job.source.Bytes(), context);
  if (rc != RCOK) {
    // A sequence without still items: its first frame.
    Sequence sequence(job.source.Bytes());
    if (!sequence.track) return rc;
    job.options.firstPage = 0;
    job.options.pageCount = 1;
    return LoadSequence(job, *sequence.track, sequence.alpha, {}, {});
  }
  std::vector<heif_item_id> ids = PageIds(context.get());
  if (ids.empty()) return BADI;
  HandlePtr primary = Handle(context.get(), ids[0]);
  if (!primary) return BADI;
  std::vector<uint8_t> exif = Exif(primary.get()), icc = Profile(primary.get());
  MetaItems items(job.source.Bytes());
  // The embedded thumbnail when it serves the request.
  heif_item_id thumbId = 0;
  if (heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), &thumbId, 1) == 1) {
    heif_image_handle* thumb = nullptr;
    if (heif_image_handle_get_thumbnail(primary.get(), thumbId, &thumb).code == heif_error_Ok) {
      HandlePtr owned(thumb);
      auto side = [](int v) { return uint64_t(std::max(v, 0)); };
      if (ThumbnailServes(side(heif_image_handle_get_width(owned.get())),
                          side(heif_image_handle_get_height(owned.get())),
                          side(heif_image_handle_get_width(primary.get())),
                          side(heif_image_handle_get_height(primary.get())),
                          job.request->thumbnailMaxWidth, job.request->thumbnailMaxHeight) &&
          CheckGrid(items, thumbId, owned.get()) == RCOK &&
          DecodePage(job, items, context.get(), owned.get(), thumbId, exif, icc) == RCOK)
        return RCOK;
    } else {
      heif_image_handle_release(thumb);
    }
    job.request->pages.Clear();
  }
  // Otherwise the primary image itself.
  rc = CheckGrid(items, ids[0], primary.get());
  return rc == RCOK ? DecodePage(job, items, context.get(), primary.get(), ids[0], exif, icc) : rc;
}

uint32_t InfoHeif(const Source& source, InfoRecord& info) {
  ContextPtr context;
  uint32_t rc = OpenContext(source.Bytes(), context);
  Sequence sequence(source.Bytes());
  if (rc != RCOK && !sequence.track) return rc;
  bool avif = IsAvif(source.Bytes());
  info.SetType(avif ? "AVIF" : "HEIF");
  // The general compression codes have no name for these codecs.
  info.SetText(glib::kInfoCompression, avif ? "AV1" : "HEVC");
  if (sequence.track) {
    const ImageTrack& track = *sequence.track;
    info.width = track.width;
    info.height = track.height;
    info.pageCount = uint32_t(std::min<size_t>(track.samples.size(), kMaxPages));
    bool alpha = sequence.alpha != nullptr;
    int bits = SequenceBits(track);
    info.bitsPerPixel = bits * (alpha ? 4 : 3);
    info.pixelType = YuvPageType(alpha, bits > 8);
    std::vector<uint8_t> exif, icc;
    PrimaryMetadata(rc == RCOK ? context.get() : nullptr, exif, icc);
    if (!track.icc.empty()) icc.assign(track.icc.begin(), track.icc.end());
    info.SetProfile(icc);
    info.SetExif(exif);
    return RCOK;
  }
  std::vector<heif_item_id> ids = PageIds(context.get());
  if (ids.empty()) return BADI;
  HandlePtr primary = Handle(context.get(), ids[0]);
  if (!primary) return BADI;
  info.width = heif_image_handle_get_width(primary.get());
  info.height = heif_image_handle_get_height(primary.get());
  info.pageCount = uint32_t(ids.size());
  bool alpha = heif_image_handle_has_alpha_channel(primary.get()) != 0;
  int bits = std::max(heif_image_handle_get_luma_bits_per_pixel(primary.get()), 1);
  info.bitsPerPixel = bits * (alpha ? 4 : 3);
  info.pixelType = YuvPageType(alpha, bits > 8);
  std::vector<uint8_t> icc = Profile(primary.get());
  info.SetProfile(icc);
  info.SetExif(Exif(primary.get()));
  return RCOK;
}

}  // namespace vexlo
