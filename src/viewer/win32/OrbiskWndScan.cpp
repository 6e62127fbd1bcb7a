// Scanning: choosing the source, a single acquisition into the viewer, and batch
// scanning to numbered files. The TWAIN conversation itself is shell::TwainWrapper's.
#include <windows.h>

#include <ctime>

#include "filters/FilterManager.h"
#include "formats/ImageLoad.h"
#include "host/SaveOptions.h"
#include "viewer/ScanBatch.h"
#include "viewer/win32/BatchScanDlg.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {

namespace {

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string NowText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return ScanTimeText(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

std::string IdentityText(const char (&text)[34]) { return std::string(text, strnlen(text, 33)); }

}  // namespace

void COrbiskWnd::SelectTwainSource() {
  if (loadRunning_) return;
  SelectSource();
}

bool COrbiskWnd::ClearForScan() {
  if (loadRunning_ || !display_ || !ConfirmDiscardChanges()) return false;
  display_->Clear();
  ForgetPages();
  {
    std::lock_guard lock(listsMutex_);
    loadedFile_ = LoadedFile{};
  }
  modified_ = false;
  ShowFrameChange();
  return true;
}

void COrbiskWnd::AcquireImage() {
  if (!ClearForScan()) return;
  batchActive_ = false;
  Acquire();
}

void COrbiskWnd::BatchScanning() {
  if (!ClearForScan()) return;
  BatchScanDlg dialog(scanBatch_);
  if (!dialog.Run(TopLevelWindow())) return;
  batchActive_ = true;
  batchNumber_ = scanBatch_.startIndex;
  if (!Acquire()) batchActive_ = false;
}

bool COrbiskWnd::OnImage(HANDLE image, const TW_IMAGEINFO& info) {
  if (loadRunning_ || !display_) return true;
  if (!image) return true;
  std::string time = NowText();
  display_->Clear();
  RefreshStatusTexts();

  SIZE_T size = GlobalSize(image);
  if (size == 0 || size > UINT32_MAX) return true;
  const void* dib = GlobalLock(image);
  if (!dib) return true;
  // The source's device-independent bitmap as it came; the BMP reader takes it
  // without a file header.
  glib::BMPLoad params;
  glib::ERetcode rc = display_->LoadMemory(dib, uint32_t(size), glib::kFormatBMP, &params);
  GlobalUnlock(image);
  if (rc != glib::RCOK) {
    ShowFrameChange();
    return true;
  }

  double xdpi = FixedToDouble(info.XResolution.Whole, info.XResolution.Frac);
  double ydpi = FixedToDouble(info.YResolution.Whole, info.YResolution.Frac);
  if (xdpi > 0 && ydpi > 0) display_->SetResolution(0, 1, float(xdpi), float(ydpi));
  const TW_IDENTITY& source = SourceIdentity();
  {
    std::lock_guard lock(listsMutex_);
    loadedFile_ = LoadedFile{};
    loadedFile_.exif = ScanExifBlock(time, IdentityText(source.Manufacturer),
                                     IdentityText(source.ProductName), xdpi, ydpi);
  }
  display_->RecalcLayout();
  if (!batchActive_) modified_ = true;
  ShowFrameChange();
  UpdateWindow(display_->hwnd());
  if (batchActive_) WriteBatchFile(info);
  return true;
}

void COrbiskWnd::WriteBatchFile(const TW_IMAGEINFO& info) {
  if (scanBatch_.format == kScanFormatAuto) {
    auto record = AutoScanRecord(info.BitsPerPixel);
    if (!record) return;  // shown, not written
    scanBatch_.save = std::move(record);
  }
  if (!scanBatch_.save) {
    scanBatch_.save = host::save::DefaultSaveRecord(
        scanBatch_.format, display_->GetLayerPixelType(glib::kCurrentSlide, 0));
  }
  if (!scanBatch_.save) return;
  glib::ImageSave& record = *scanBatch_.save;
  char extension[64] = {};
  bool cannotSave = false;
  if (!glib::FilterManager::Global().GetDefaultExtension(record.format, extension, sizeof extension,
                                                         cannotSave)) {
    extension[0] = '\0';
  }
  bool tif = record.format == glib::kFormatTIF;
  ScanFileName name = NextScanFile(scanBatch_, extension, tif, batchNumber_, &FileExists);
  if (name.append) record.keepPartialFile = 1;  // the append byte of a TIFF record
  std::vector<uint8_t> exif;
  {
    std::lock_guard lock(listsMutex_);
    exif = loadedFile_.exif;
  }
  if (glib::CarriesMetadata(record)) {
    auto& metadata = static_cast<glib::MetadataSave&>(record);
    metadata.exif = exif.empty() ? nullptr : exif.data();
    metadata.exifSize = uint32_t(exif.size());
  }
  glib::ERetcode rc = display_->Save(name.path.c_str(), &record);
  if (glib::CarriesMetadata(record)) {
    auto& metadata = static_cast<glib::MetadataSave&>(record);
    metadata.exif = nullptr;
    metadata.exifSize = 0;
  }
  if (rc != glib::RCOK) {
    MessageBoxA(hwnd(), "Write Error!", "Orbisk", MB_ICONERROR | MB_TOPMOST);
  }
}

}  // namespace viewer
