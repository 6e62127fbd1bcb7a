// orbisk: the command-line program, on the same Film, format plug-ins, information
// model and save options as the viewer.
//
//   orbisk info [--html] [--detailed] FILE...
//     prints what the information panel shows for each file, in the panel's text
//     export form (or its HTML form);
//   orbisk convert [--format CODE] [--option KEY=VALUE]... IN OUT
//   orbisk convert --to CODE [--option KEY=VALUE]... IN... FOLDER
//     saves each picture in another format, with the save options the viewer's save
//     dialog offers (their value names as keys; the defaults for the rest).
//
// Exit status 0 when every file worked, 1 when one did not (its name and the reason
// go to standard error; the other files are still done), 2 for a usage error.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <filesystem>

#include "filters/FilterManager.h"
#include "formats/FormatRegistry.h"
#include "formats/Retcode.h"
#include "host/SaveOptions.h"
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
    "  --detailed  also the metadata that is normally hidden (offsets, raw blocks)\n"
    "usage: orbisk convert [--format CODE] [--option KEY=VALUE]... IN OUT\n"
    "       orbisk convert --to CODE [--option KEY=VALUE]... IN... FOLDER\n"
    "  Saves each picture in another format: the one of --format (or --to), else the\n"
    "  one of OUT's extension. Into a folder, each file keeps its name and gets the\n"
    "  format's extension.\n"
    "  --option KEY=VALUE  a save option by its value name (Quality_JPG=90,\n"
    "                      Compression_TIF=LZW, Pt_PNG=\"8 (Indexed)\"); a list takes\n"
    "                      one of its labels or values\n";

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

int Usage(std::string_view complaint) {
  std::string line = "orbisk convert: " + std::string(complaint) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputs(kUsage, stderr);
  return 2;
}

// A format that a plug-in can write, by its code ("png", "TIF"); kFormatNone if none.
uint32_t WritableFormat(std::string_view code) {
  std::string wanted;
  for (char c : code) wanted += char(c >= 'a' && c <= 'z' ? c - 32 : c);
  glib::FilterManager& manager = glib::FilterManager::Global();
  manager.Init(false);
  for (const glib::FilterFormatDesc* desc : manager.Formats())
    if (glib::FormatEntryInfix(desc->Id) == wanted && desc->CanWrite) return desc->Id;
  return glib::kFormatNone;
}

uint32_t FormatOfExtension(const std::u16string& path) {
  glib::FilterFormatDesc* desc =
      glib::FilterManager::Global().FindByExtension(platform::Utf8FromUtf16(path));
  return desc && desc->CanWrite ? desc->Id : glib::kFormatNone;
}

// OUT for IN in a folder: IN's name with the format's extension.
std::u16string OutputInFolder(const std::u16string& folder, const std::u16string& input,
                              uint32_t format) {
  char extension[64] = {};
  bool cannotSave = false;
  glib::FilterManager::Global().GetDefaultExtension(format, extension, sizeof extension,
                                                    cannotSave);
  std::filesystem::path name = std::filesystem::path(input).filename();
  name.replace_extension(extension);
  return (std::filesystem::path(folder) / name).u16string();
}

int Convert(const std::vector<std::u16string>& args) {
  std::u16string formatCode;
  host::save::Values values;
  std::vector<std::u16string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (arg == u"--format" || arg == u"--to" || arg == u"--option") {
      if (i + 1 == args.size()) return Usage(platform::Utf8FromUtf16(arg) + " needs a value");
      const std::string value = platform::Utf8FromUtf16(args[++i]);
      if (arg != u"--option") {
        formatCode = args[i];
        continue;
      }
      size_t equals = value.find('=');
      if (equals == std::string::npos) return Usage("--option takes KEY=VALUE");
      std::string problem =
          host::save::SetFromText(values, value.substr(0, equals), value.substr(equals + 1));
      if (!problem.empty()) return Usage(problem);
    } else if (arg.size() > 1 && arg[0] == u'-') {
      return Usage("unknown switch " + platform::Utf8FromUtf16(arg));
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() < 2) return Usage("give a picture and where it goes");
  uint32_t format = glib::kFormatNone;
  if (!formatCode.empty()) {
    format = WritableFormat(platform::Utf8FromUtf16(formatCode));
    if (format == glib::kFormatNone)
      return Usage("no plug-in writes \"" + platform::Utf8FromUtf16(formatCode) + "\"");
  }
  const std::u16string target = files.back();
  files.pop_back();
  std::error_code error;
  const bool intoFolder = std::filesystem::is_directory(std::filesystem::path(target), error);
  if (!intoFolder && files.size() > 1) return Usage("several pictures go into a folder");
  if (intoFolder && format == glib::kFormatNone) return Usage("into a folder, give --to CODE");

  int status = 0;
  for (const std::u16string& input : files) {
    std::u16string output = intoFolder ? OutputInFolder(target, input, format) : target;
    uint32_t outputFormat = format != glib::kFormatNone ? format : FormatOfExtension(output);
    if (outputFormat == glib::kFormatNone) {
      Complain(output, "no plug-in writes this extension; give --format CODE");
      status = 1;
      continue;
    }
    glib::Film film;
    glib::ERetcode rc = film.LoadW(input.c_str(), glib::kFormatNone, nullptr);
    if (rc != glib::RCOK) {
      Complain(input, glib::RetcodeMessage(rc));
      status = 1;
      continue;
    }
    glib::RecordPtr<glib::ImageSave> record =
        host::save::CreateImageSave(outputFormat, values, film.GetCurrentIndex());
    if (!record) {
      Complain(output, "this format has no save options to write with");
      status = 1;
      continue;
    }
    rc = film.SaveW(output.c_str(), record.get());
    if (rc != glib::RCOK) {
      Complain(output, glib::RetcodeMessage(rc));
      status = 1;
    }
  }
  return status;
}

int Run(const std::vector<std::u16string>& args) {
  // The format plug-ins sit beside the program.
  std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&Run));
  glib::FilterManager::Global().Configure(folder.c_str(), "vexlo\nvexpdf");
  if (!args.empty() && args[0] == u"info") return Info({args.begin() + 1, args.end()});
  if (!args.empty() && args[0] == u"convert") return Convert({args.begin() + 1, args.end()});
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
