// The scanner link: the TWAIN source manager "TWAIN_32.DLL", the source the user
// chose, and the transfer of its images. The viewer window derives from it, gives
// it its messages first while a source is enabled, and takes the images in OnImage.
// Without the manager every operation fails quietly.
#pragma once

#include <windows.h>

#include "shell/TwainProtocol.h"

namespace shell {

// The window message OnCloseRequest posts: the source asked to be closed.
constexpr UINT kMsgTwainCloseRequest = 7868;

class TwainWrapper {
 public:
  enum Transfer { kTransfer = 0, kSkip = 1, kStop = 2 };

  TwainWrapper();
  TwainWrapper(const TwainWrapper&) = delete;
  TwainWrapper& operator=(const TwainWrapper&) = delete;
  // Closes the source and the manager and unloads the module.
  virtual ~TwainWrapper();

  // The program's identity, as the manager and sources see it.
  virtual void InitIdentity();
  // The manager's selection box; true when a source was chosen.
  virtual bool SelectSource();
  // Opens `identity` (or, for null, the chosen or the manager's default source).
  virtual bool OpenSource(const TW_IDENTITY* identity);
  // Asked before each transfer: kTransfer, kSkip this image, or kStop.
  virtual int BeforeTransfer(const TW_IMAGEINFO& info);
  virtual void DisableSource();
  // The source asked to be closed; non-zero closes it.
  virtual int OnCloseRequest();
  // One transferred image (a global memory block holding a DIB, freed afterwards);
  // false disables the source.
  virtual bool OnImage(HANDLE image, const TW_IMAGEINFO& info);

  // Loads the manager and opens it with `window` as parent; false without one.
  bool Attach(HWND window);
  // Closes source and manager and unloads the module.
  void Detach();
  // Opens the source when needed, asks for any number of images and enables the
  // source with its user interface; false when any of it fails.
  bool Acquire();
  // The message pre-translation: while a source is enabled each message goes to it
  // first; true when the source consumed it.
  bool ProcessMessage(const MSG& msg);

  bool ManagerOpen() const { return managerOpen_ != 0; }
  bool SourceOpen() const { return sourceOpen_ != 0; }
  bool SourceEnabled() const { return sourceEnabled_ != 0; }
  const TW_IDENTITY& SourceIdentity() const { return source_; }
  TW_UINT16 LastReturnCode() const { return lastRc_; }
  const TW_STATUS& Status() const { return status_; }

 private:
  // One call of the entry point; after a failure the status is read.
  TW_UINT16 Call(TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
  bool OpenManager();
  void CloseManager();
  void CloseSource();
  bool GetCapability(TW_UINT16 cap, TW_UINT32& value);
  bool SetCapability(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 value);
  bool EnableSource(bool showUi);
  bool ImageInfo(TW_IMAGEINFO& info);
  TW_UINT16 NativeTransfer(HANDLE& image);
  bool EndTransfer();  // true while transfers are pending
  void ResetTransfers();
  void TransferLoop();

  HMODULE module_ = nullptr;
  DSMENTRYPROC entry_ = nullptr;
  TW_IDENTITY app_{};
  TW_IDENTITY source_{};
  TW_STATUS status_{};
  TW_UINT16 lastRc_ = twain::TWRC_FAILURE;
  HWND window_ = nullptr;
  int32_t transferCount_ = -1;
  uint8_t sourceChosen_ = 0;
  uint8_t managerOpen_ = 0;
  uint8_t sourceOpen_ = 0;
  uint8_t sourceEnabled_ = 0;
  TW_BOOL modalUi_ = 1;
  bool inTransfer_ = false;
};

}  // namespace shell
