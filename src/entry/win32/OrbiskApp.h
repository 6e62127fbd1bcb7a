// COrbiskApp: the library's application object, one per process. It prepares what
// every viewer shares (the filter plug-in folder) on the first
// entry and lets go of the library's window classes when the library unloads.
#pragma once

namespace entry {

class COrbiskApp {
 public:
  // Runs once, on the first call into the library; always succeeds.
  bool InitInstance();
  int ExitInstance();
};

COrbiskApp& TheApp();
// InitInstance on the first call, nothing afterwards.
void EnsureInitialised();

}  // namespace entry
