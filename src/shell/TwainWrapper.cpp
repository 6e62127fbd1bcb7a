#include "shell/TwainWrapper.h"

#include <cstring>

namespace shell {

using namespace twain;

namespace {

void CopyText(char (&to)[34], const char* from) {
  std::strncpy(to, from, sizeof(to) - 1);
  to[sizeof(to) - 1] = '\0';
}

}  // namespace

TwainWrapper::TwainWrapper() = default;

TwainWrapper::~TwainWrapper() { Detach(); }

void TwainWrapper::InitIdentity() {
  app_ = TW_IDENTITY{};
  app_.Version.MajorNum = 3;
  app_.Version.MinorNum = 5;
  app_.Version.Language = 2;
  app_.Version.Country = 1;
  CopyText(app_.Version.Info, "3.5");
  app_.ProtocolMajor = kProtocolMajor;
  app_.ProtocolMinor = kProtocolMinor;
  app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(app_.Manufacturer, "Quintel");
  CopyText(app_.ProductFamily, "Generic");
  CopyText(app_.ProductName, "");
}

bool TwainWrapper::Attach(HWND window) {
  if (module_) return managerOpen_ != 0;
  window_ = window;
  module_ = LoadLibraryW(L"TWAIN_32.DLL");
  if (!module_) return false;
  entry_ = reinterpret_cast<DSMENTRYPROC>(
      reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(1))));
  if (!entry_) {
    FreeLibrary(module_);
    module_ = nullptr;
    return false;
  }
  return OpenManager();
}

void TwainWrapper::Detach() {
  DisableSource();
  CloseSource();
  CloseManager();
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  entry_ = nullptr;
}

TW_UINT16 TwainWrapper::Call(TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                             TW_MEMREF data) {
  if (!entry_) return lastRc_ = TWRC_FAILURE;
  lastRc_ = entry_(&app_, dest, group, dat, msg, data);
  if (lastRc_ == TWRC_FAILURE || lastRc_ == TWRC_CHECKSTATUS) {
    status_ = TW_STATUS{};
    entry_(&app_, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status_);
  }
  return lastRc_;
}

bool TwainWrapper::OpenManager() {
  if (managerOpen_) return true;
  InitIdentity();
  HWND parent = window_;
  managerOpen_ = Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent) == TWRC_SUCCESS;
  return managerOpen_ != 0;
}

void TwainWrapper::CloseManager() {
  if (!managerOpen_) return;
  HWND parent = window_;
  Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
  managerOpen_ = 0;
}

bool TwainWrapper::SelectSource() {
  if (!managerOpen_ || sourceEnabled_) return false;
  // Another source may be chosen: the one open now is closed first.
  CloseSource();
  TW_IDENTITY chosen{};
  if (!sourceChosen_) Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &chosen);
  source_ = chosen;
  if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &source_) != TWRC_SUCCESS) {
    return false;
  }
  sourceChosen_ = 1;
  return true;
}

bool TwainWrapper::OpenSource(const TW_IDENTITY* identity) {
  if (identity) source_ = *identity;
  if (!managerOpen_) return false;
  if (sourceOpen_) return true;
  if (!sourceChosen_ && !identity) {
    if (Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &source_) != TWRC_SUCCESS) {
      return false;
    }
  }
  sourceOpen_ = Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_) == TWRC_SUCCESS;
  return sourceOpen_ != 0;
}

void TwainWrapper::CloseSource() {
  if (!sourceOpen_) return;
  DisableSource();
  Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
  sourceOpen_ = 0;
}

int TwainWrapper::BeforeTransfer(const TW_IMAGEINFO&) { return kTransfer; }

void TwainWrapper::DisableSource() {
  if (sourceEnabled_) {
    TW_USERINTERFACE ui{};
    ui.hParent = window_;
    Call(&source_, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }
  sourceEnabled_ = 0;
}

int TwainWrapper::OnCloseRequest() {
  PostMessageW(window_, kMsgTwainCloseRequest, 0, 0);
  return 1;
}

bool TwainWrapper::OnImage(HANDLE, const TW_IMAGEINFO&) { return true; }

bool TwainWrapper::GetCapability(TW_UINT16 cap, TW_UINT32& value) {
  TW_CAPABILITY request{cap, TWON_ONEVALUE, nullptr};
  if (Call(&source_, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &request) != TWRC_SUCCESS) return false;
  bool ok = false;
  if (request.hContainer) {
    if (auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(request.hContainer))) {
      ok = request.ConType == TWON_ONEVALUE;
      value = one->Item;
      GlobalUnlock(request.hContainer);
    }
    GlobalFree(request.hContainer);
  }
  return ok;
}

bool TwainWrapper::SetCapability(TW_UINT16 cap, TW_UINT16 type, TW_UINT32 value) {
  HGLOBAL container = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
  if (!container) return false;
  auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(container));
  if (!one) {
    GlobalFree(container);
    return false;
  }
  one->ItemType = type;
  one->Item = value;
  GlobalUnlock(container);
  TW_CAPABILITY request{cap, TWON_ONEVALUE, container};
  bool ok = Call(&source_, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &request) == TWRC_SUCCESS;
  GlobalFree(container);
  return ok;
}

bool TwainWrapper::EnableSource(bool showUi) {
  TW_USERINTERFACE ui{};
  ui.ShowUI = showUi ? 1 : 0;
  ui.ModalUI = 0;
  ui.hParent = window_;
  if (Call(&source_, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) {
    return false;
  }
  modalUi_ = ui.ModalUI;
  sourceEnabled_ = 1;
  return true;
}

bool TwainWrapper::Acquire() {
  // A source still enabled from an earlier acquisition (one whose transfers failed
  // and that never asked to be closed) starts over.
  DisableSource();
  if (!sourceOpen_ && !OpenSource(nullptr)) return false;
  // Any number of images. A source that wants the count unsigned gets it back so.
  transferCount_ = -1;
  if (!SetCapability(CAP_XFERCOUNT, TWTY_INT16, TW_UINT32(-1)) && lastRc_ == TWRC_CHECKSTATUS) {
    TW_UINT32 current = 0;
    if (GetCapability(CAP_XFERCOUNT, current)) {
      SetCapability(CAP_XFERCOUNT, TWTY_UINT16, current);
    }
  }
  return EnableSource(true);
}

bool TwainWrapper::ProcessMessage(const MSG& msg) {
  if (!sourceEnabled_ || inTransfer_) return false;
  MSG copy = msg;
  TW_EVENT event{&copy, MSG_NULL};
  TW_UINT16 rc = Call(&source_, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
  switch (event.TWMessage) {
    case MSG_XFERREADY:
      TransferLoop();
      break;
    case MSG_CLOSEDSREQ:
      if (OnCloseRequest() != 0) {
        DisableSource();
        CloseSource();
      }
      break;
    default:
      break;
  }
  return rc == TWRC_DSEVENT;
}

bool TwainWrapper::ImageInfo(TW_IMAGEINFO& info) {
  info = TW_IMAGEINFO{};
  return Call(&source_, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS;
}

TW_UINT16 TwainWrapper::NativeTransfer(HANDLE& image) {
  // The block comes back through a handle-sized slot (32 bits on 32-bit Windows).
  TW_HANDLE handle = nullptr;
  TW_UINT16 rc = Call(&source_, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
  image = handle;
  return rc;
}

bool TwainWrapper::EndTransfer() {
  TW_PENDINGXFERS pending{};
  if (Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) {
    return false;
  }
  return pending.Count != 0;
}

void TwainWrapper::ResetTransfers() {
  TW_PENDINGXFERS pending{};
  Call(&source_, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

void TwainWrapper::TransferLoop() {
  inTransfer_ = true;
  bool pending = true;
  while (pending && sourceOpen_) {
    TW_IMAGEINFO info{};
    if (!ImageInfo(info)) break;
    int choice = BeforeTransfer(info);
    if (choice == kStop) {
      ResetTransfers();
      break;
    }
    if (choice == kTransfer) {
      HANDLE image = nullptr;
      TW_UINT16 rc = NativeTransfer(image);
      if (rc == TWRC_FAILURE) {
        ResetTransfers();
        break;
      }
      if (rc == TWRC_XFERDONE) {
        bool keep = OnImage(image, info);
        if (image) GlobalFree(image);
        if (!keep) {
          EndTransfer();
          inTransfer_ = false;
          DisableSource();
          return;
        }
      }
    }
    pending = EndTransfer();
  }
  inTransfer_ = false;
}

}  // namespace shell
