// orbisk: the command-line program. `orbisk info FILE...` prints what the viewer's
// information panel shows for each file, in the panel's text export form (or its HTML
// form), through the same Film, format plug-ins and information model.
//
//   orbisk info [--html] [--detailed] FILE...
//
// Exit status 0 when every file gave image information, 1 when one did not (its
// name and the reason go to standard error; the file-system facts are still
// printed), 2 for a usage error.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "filters/FilterManager.h"
#include "formats/Retcode.h"
#include "image/Film.h"
#include "info/InfoExport.h"
#include "info/PictureInfo.h"
#include "platform/Module.h"
#include "platform/Text.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

constexpr char kUsage[] =
    "usage: orbisk info [--html] [--detailed] FILE...\n"
    "  Prints the information of each picture file: the common facts, the format's\n"
    "  own items, EXIF and IPTC metadata.\n"
    "  --html      the HTML form instead of text\n"
    "  --detailed  also the metadata that is normally hidden (offsets, raw blocks)\n";

void Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void Complain(const std::u16string& file, std::string_view reason) {
  std::string line = platform::Utf8FromUtf16(file) + ": " + std::string(reason) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

int Info(const std::vector<std::u16string>& args) {
  bool html = false, detailed = false;
  std::vector<std::u16string> files;
  for (const std::u16string& arg : args) {
    if (arg == u"--html") {
      html = true;
    } else if (arg == u"--detailed") {
      detailed = true;
    } else if (arg.size() > 1 && arg[0] == u'-' && files.empty()) {
      std::fputs(kUsage, stderr);
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int status = 0;
  glib::Film film;
  glib::FlmPictureInfo model;
  model.SetDetailed(detailed);
  for (const std::u16string& file : files) {
    glib::ERetcode rc = glib::RCOK;
    bool built = model.BuildForPath(file, &film, false, nullptr, &rc);
    if (rc != glib::RCOK) {
      Complain(file, glib::RetcodeMessage(rc));
      status = 1;
    }
    if (!built) continue;
    info::InfoCatalogs catalogs;
    catalogs.Build(model);
    if (html) {
      info::WriteHtmlForm(catalogs.Catalogs(), &Write);
    } else {
      Write(info::TextForm(catalogs.Catalogs()));
    }
  }
  std::fflush(stdout);
  return status;
}

int Run(const std::vector<std::u16string>& args) {
  // The format plug-ins sit beside the program.
  std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&Run));
  glib::FilterManager::Global().Configure(folder.c_str(), "vexlo\nvexpdf");
  if (!args.empty() && args[0] == u"info") return Info({args.begin() + 1, args.end()});
  std::fputs(kUsage, args.empty() || args[0] == u"--help" ? stdout : stderr);
  return args.empty() || args[0] == u"--help" ? 0 : 2;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
  // Texts are UTF-8: a console shows them as such, and a redirected output keeps them.
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::Utf16FromUtf8(argv[i]));
  return Run(args);
}
#endif
