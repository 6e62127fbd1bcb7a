// The format table announced by "GetFilterInfo", the save query, and the runners
// behind the exported entries: each opens the source or the output, runs the codec
// and turns anything thrown into a code.
#include <cstring>
#include <new>

#include "formats/FilterInfoRecord.h"
#include "formats/FormatRegistry.h"
#include "formats/SaveQuery.h"
#include "vexlo/Entries.h"
#include "vexlo/Formats.h"

namespace vexlo {
namespace {

using glib::ImageDataExchange;

// One announced format. Masks follow the runtime's RegExp syntax; formats without a
// reliable signature are identified by extension (ByExtension).
struct FormatRow {
  uint32_t id;
  const char* mask;  // NUL-terminated; null: no signature
  uint32_t matchParam;
  const char* extensions;
  const char* filterText;
  bool byExtension;
  const char* saveClass;  // the record the save entry accepts; null: read-only
  size_t saveSize;
  uint8_t alpha;  // save query answers
  uint8_t layers;
};

#define SAVE(Record) #Record, sizeof(glib::Record)

const FormatRow kFormats[] = {
    {glib::kFormatBMP, "BM", 0, "bmp\ndib\nrle", "|Windows Bitmap|*.bmp;*.dib;*.rle", true,
     SAVE(BMPSave), 1, 0},
    {glib::kFormatJPG, "\\xFF\\xD8\\xFF", 0, "jpg\njpeg\njpe\njfif",
     "|JPEG File Interchange Format|*.jpg;*.jpeg;*.jpe;*.jfif", true, SAVE(JPGSave), 0, 0},
    {glib::kFormatPNG, "\\x89PNG\\x0D\\x0A\\x1A\\x0A", 0, "png", "|Portable Network Graphics|*.png",
     true, SAVE(PNGSave), 1, 0},
    {glib::kFormatGIF, "GIF8[79]a", 0, "gif", "|Graphics Interchange Format|*.gif", true,
     SAVE(GIFSave), 1, 0},
    {glib::kFormatTIF, "II\\*\\x00|MM\\x00\\*|II\\+\\x00|MM\\x00\\+", 0, "tif\ntiff\nskin",
     "|Tagged Image File Format|*.tif;*.tiff", true, SAVE(TIFSave), 1, 0},
    {kFormatWBP, "RIFF????WEBP", 0, "webp", "|WebP|*.webp", true, nullptr, 0, 0, 0},
    {glib::kFormatICO, "\\x00\\x00\\x01\\x00[\\x01-\\xFF]", 0, "ico", "|Windows Icon|*.ico", true,
     SAVE(ICOSave), 1, 0},
    {glib::kFormatCUR, "\\x00\\x00\\x02\\x00[\\x01-\\xFF]", 0, "cur", "|Windows Cursor|*.cur", true,
     SAVE(CURSave), 1, 0},
    {glib::kFormatPCX, "\\x0A[\\x00-\\x05]\\x01[\\x01\\x02\\x04\\x08]", 0, "pcx",
     "|ZSoft Paintbrush|*.pcx", true, SAVE(PCXSave), 0, 0},
    {glib::kFormatTGA, nullptr, 0, "tga\nvda\nicb\nvst",
     "|Truevision Targa|*.tga;*.vda;*.icb;*.vst", true, SAVE(TGASave), 1, 0},
    {kFormatPBM, "P[14][\\x09\\x0A\\x0D\\x20#]", 0, "pbm", "|Portable Bitmap|*.pbm", true,
     SAVE(PNMSave), 0, 0},
    {kFormatPGM, "P[25][\\x09\\x0A\\x0D\\x20#]", 0, "pgm", "|Portable Graymap|*.pgm", true,
     SAVE(PNMSave), 0, 0},
    {glib::kFormatPPM, "P[36][\\x09\\x0A\\x0D\\x20#]", 0, "ppm\npnm",
     "|Portable Pixmap|*.ppm;*.pnm", true, SAVE(PNMSave), 0, 0},
    {kFormatPAM, "P7[\\x0A\\x0D]", 0, "pam", "|Portable Arbitrary Map|*.pam", true, SAVE(PNMSave),
     1, 0},
    {kFormatPFM, "P[Ff][\\x09\\x0A\\x0D\\x20]", 0, "pfm", "|Portable Float Map|*.pfm", true,
     SAVE(PNMSave), 0, 0},
    {glib::kFormatRAW, nullptr, 0, "raw", "|RAW pixel data|*.raw", false, SAVE(RAWSave), 0, 0},
    {glib::kFormatFLM, "ORBISKFL", 0, "flm", "|Orbisk Film|*.flm", true, SAVE(FLMSave), 1, 1},
    // Camera RAW: the formats with a header of their own; those in TIFF form (DNG, CR2,
    // NEF, ARW, PEF, SRW, ...) come through the TIFF row, whose reader hands them on.
    {kFormatDCR,
     "FUJIFILMCCD-RAW |IIRO\\x08\\x00|IIRS\\x08\\x00|MMOR|IIU\\x00|II\\x1A\\x00\\x00\\x00HEAPCCDR|"
     "\\x00MRM|????ftypcrx ",
     0,
     "dng\ncr2\ncr3\ncrw\nnef\nnrw\narw\nsrf\nsr2\norf\nrw2\nraf\npef\nptx\nsrw\n3fr\nfff\nerf\n"
     "kdc\ndcr\nmos\nmef\nmrw\niiq\nrwl",
     "|Camera RAW|*.dng;*.cr2;*.cr3;*.crw;*.nef;*.nrw;*.arw;*.srf;*.sr2;*.orf;*.rw2;*.raf;*.pef;"
     "*.ptx;*.srw;*.3fr;*.fff;*.erf;*.kdc;*.dcr;*.mos;*.mef;*.mrw;*.iiq;*.rwl",
     true, nullptr, 0, 0, 0},
    // The brand of the file type box: HEVC brands (and the plain image brands, which an
    // AVIF may carry too: the decoder tells the codec from the content), then AV1.
    {kFormatHEI,
     "????ftypheic|????ftypheix|????ftypheim|????ftypheis|????ftyphevc|????ftyphevx|"
     "????ftypmif1|????ftypmsf1",
     0, "heic\nheif\nhif", "|High Efficiency Image File|*.heic;*.heif;*.hif", true, nullptr, 0, 0,
     0},
    {kFormatAVF, "????ftypavif|????ftypavis", 0, "avif", "|AV1 Image File|*.avif", true, nullptr, 0,
     0, 0},
    {glib::kFormatJP2, "\\x00\\x00\\x00\\x0CjP  \\x0D\\x0A\\x87\\x0A", 0, "jp2", "|JPEG 2000|*.jp2",
     true, SAVE(JP2Save), 1, 0},
    {kFormatJ2K, "\\xFF\\x4F\\xFF\\x51", 0, "j2k\nj2c\njpc",
     "|JPEG 2000 codestream|*.j2k;*.j2c;*.jpc", true, SAVE(JP2Save), 1, 0},
    {glib::kFormatANI, "RIFF????ACON", 0, "ani", "|Windows Animated Cursor|*.ani", true, nullptr, 0,
     0, 0},
#ifdef VEXLO_WITH_JXL
    // JPEG XL: a bare codestream or the container's signature box
    {glib::kFormatJXL, "\\xFF\\x0A|\\x00\\x00\\x00\\x0CJXL \\x0D\\x0A\\x87\\x0A", 0, "jxl",
     "|JPEG XL|*.jxl", true, SAVE(JXLSave), 1, 0},
#endif
};

#undef SAVE

const FormatRow* FindRow(uint32_t id) {
  for (const FormatRow& row : kFormats) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

uint32_t Register(glib::FilterInfoRecord* record) {
  if (!record || !record->AddFormat || !record->Formats) return BADA;
  for (const FormatRow& row : kFormats) {
    uint32_t maskLength = row.mask ? uint32_t(std::strlen(row.mask)) : 0;
    glib::FilterFormatDesc* desc = record->AddFormat(row.id, row.matchParam, maskLength, row.mask,
                                                     row.extensions, row.filterText);
    if (!desc) return OMEM;
    gen::ArrayRecord* list = record->Formats->record();
    if (!list->table->Add(list, desc)) return OMEM;
    desc->ByExtension = row.byExtension ? 1 : 0;
  }
  record->Version = glib::kFilterInterfaceVersion;
  return RCOK;
}

uint32_t AnswerSaveQuery(glib::SaveQuery* query) {
  if (!query || !query->params) return BADA;
  const FormatRow* row = FindRow(query->params->format);
  if (!row || !row->saveClass) return UNSF;
  query->alpha = row->alpha;
  query->vector = 0;
  query->layers = row->layers;
  query->merged = 0;
  return RCOK;
}

}  // namespace

uint32_t FilterInfo(uint32_t query, void* record) noexcept {
  try {
    if (query == 0) return Register(static_cast<glib::FilterInfoRecord*>(record));
    if (query == 1) return AnswerSaveQuery(static_cast<glib::SaveQuery*>(record));
    return BADA;
  } catch (...) {
    return OMEM;
  }
}

uint32_t RunLoad(uint32_t id, const void* path, ImageDataExchange* request, void* params,
                 LoadFunc load) noexcept {
  if (!request) return BADA;
  try {
    Source source;
    uint32_t rc = source.Open(path, *request);
    if (rc != RCOK) return rc;
    LoadJob job{request, source, ReadLoadOptions(params), id};
    rc = load(job);
    if (rc == RCOK && request->pages.empty()) rc = BADI;
    if (rc != RCOK) request->pages.Clear();
    return rc;
  } catch (const std::bad_alloc&) {
    request->pages.Clear();
    return OMEM;
  } catch (...) {
    request->pages.Clear();
    return IERR;
  }
}

uint32_t RunInfo(uint32_t id, const void* path, ImageDataExchange* request, void* params,
                 InfoFunc info) noexcept {
  if (!request) return BADA;
  try {
    Source source;
    uint32_t rc = source.Open(path, *request);
    if (rc != RCOK) return rc;
    std::unique_ptr<InfoRecord> record(new InfoRecord);
    record->format = id;
    record->fileSize = source.Size();
    record->modified = source.Modified();
    rc = info(source, *record);
    if (rc == RCOK && params) *static_cast<glib::FileInfoRecord**>(params) = record.release();
    return rc;
  } catch (const std::bad_alloc&) {
    return OMEM;
  } catch (...) {
    return IERR;
  }
}

uint32_t RunSave(uint32_t id, const void* path, ImageDataExchange* request, glib::ImageSave* params,
                 SaveFunc save) noexcept {
  const FormatRow* row = FindRow(id);
  if (!request || !row || !row->saveClass || !IsRecord(params, row->saveClass, row->saveSize))
    return BADA;
  try {
    if (SavePages(request).empty()) return BADA;
    // TIFF pages are appended to an existing file when the record's byte +55 says so
    // (batch scans into one multi-page file).
    bool append = id == glib::kFormatTIF && params->keepPartialFile != 0;
    Sink sink;
    uint32_t rc = sink.Open(path, request->wide != 0, append);
    if (rc != RCOK) return rc;
    SaveJob job{request, params, sink, id};
    rc = save(job);
    uint32_t finished = sink.Finish(rc == RCOK ? request : nullptr);
    return rc != RCOK ? rc : finished;
  } catch (const std::bad_alloc&) {
    return OMEM;
  } catch (...) {
    return IERR;
  }
}

}  // namespace vexlo
