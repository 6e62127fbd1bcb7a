// What the document needs from the operating system, with a Windows implementation
// (win32/) and a portable one (posix/): file chores, the graphics service that draws
// vector pictures, the embedded notice picture, and the clipboard.
#pragma once

#include <cstdint>
#include <string>

#include "formats/IDEPage.h"
#include "image/FilmTypes.h"

namespace glib {

class Film;
class Layer;

// Opens the file once and unlocks its whole byte range (another process may have
// left it locked); nothing happens when it cannot be opened.
void UnlockWholeFile(const std::string& path);
// Deletes a file by its 8-bit or UTF-16 path; false when it cannot.
bool RemoveFile(const std::string& path);
bool RemoveFileWide(const char16_t* path);
// The size of a file in bytes; -1 when it is not there.
int64_t FileSizeOf(const std::u16string& path);
// Moves a finished file over its target (atomically where the system can). False,
// with the target as it was, when the target is read-only or locked or the move fails.
bool ReplaceFileWith(const std::u16string& target, const std::u16string& finished);

// The graphics service of vector pictures (GDI+); called under the Film count lock
// with the first Film and after the last. False when it is not available.
bool StartGraphics();
void StopGraphics();

// The notice shown when a plug-in refuses LZW-compressed data: an 800 x 160 picture
// at 96 dpi put into the page (a vector picture on Windows, raster rows elsewhere).
// False when it cannot be made.
bool MakeNoticePage(IDEPage& page);

// The resource bytes of a module (an HMODULE; null: the program). MISS when there is
// no such resource, BADI when it cannot be loaded.
uint32_t FindResourceBytes(void* module, uint16_t id, const char* type, const void*& data,
                           uint32_t& size);

// New vector pictures re-recorded with a transform: a source part scaled to a size,
// mirrored, or turned clockwise by an angle (with the turned picture's size). Null
// where vector pictures cannot be re-recorded.
OwnedObject* ResizePicture(const OwnedObject* picture, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                           int32_t height);
OwnedObject* MirrorPicture(const OwnedObject* picture, int32_t width, int32_t height, bool vertical,
                           bool horizontal);
OwnedObject* RotatePicture(const OwnedObject* picture, int32_t width, int32_t height,
                           double degrees, int32_t& newWidth, int32_t& newHeight);

// The clipboard: puts a picture (32-bit RGBA rows or a vector picture) on it, or takes
// the first available format into a layer. False where there is no clipboard.
bool PutOnClipboard(const CoreBitmap& picture);
bool TakeFromClipboard(Layer& layer);

}  // namespace glib
