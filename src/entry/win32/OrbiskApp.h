// COrbiskApp: the library's application object, one per process. It prepares what
// every viewer shares (the filter plug-in folder) on the first
// entry and lets go of the library's window classes when the library unloads.
#pragma once

namespace glib {
class FilterManager;
}

namespace entry {

class COrbiskApp {
 public:
  // Runs once, on the first call into the library; always succeeds.
  bool InitInstance();
  int ExitInstance();
};

COrbiskApp& TheApp();
// Points a filter manager at the format plug-ins beside the library.
void ConfigureFormatPlugins(glib::FilterManager& manager);
// InitInstance on the first call, nothing afterwards.
void EnsureInitialised();

}  // namespace entry
