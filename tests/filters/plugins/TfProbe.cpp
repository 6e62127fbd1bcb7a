// Identification beyond plain signatures: a Probe (PRB), a DeepProbe (DPB), a mask
// that covers the whole zero-padded header (TEN) and formats found by extension only
// under the rules (EXT yes; EXN has a match word, EXZ does not allow it).
#include <cstring>
#include <string>

#include "PluginKit.h"
#include "runtime/RegExp.h"

using namespace testplugin;

namespace {

bool StartsWith(VStream* stream, const char* text) {
  char buffer[16] = {};
  size_t length = std::strlen(text);
  return stream->Seek(0, kStreamBegin) && stream->Read(buffer, 1, length) == length &&
         std::memcmp(buffer, text, length) == 0;
}

uint32_t ORBISK_CDECL Probe(VStream* stream, uint32_t) {
  ++TheStats().probeCalls;
  TheStats().lastProbePosition = stream->Tell();
  return StartsWith(stream, "probe-me") ? glib::RCOK : glib::NSUP;
}

uint32_t ORBISK_CDECL DeepProbe(VStream* stream, uint32_t, uint8_t flag) {
  TheStats().lastProbeFlag = flag;
  return flag == 7 || StartsWith(stream, "deep") ? glib::RCOK : glib::NSUP;
}

}  // namespace

ORBISK_EXPORT uint32_t ORBISK_CDECL GetFilterInfo(uint32_t, void* record) {
  auto* info = static_cast<glib::FilterInfoRecord*>(record);
  if (auto* prb = Announce(info, 0x00505242, 0, nullptr, "prb", "|Probed|*.prb", false)) {
    prb->Probe = &Probe;
  }
  if (auto* dpb = Announce(info, 0x00445042, 0, nullptr, "dpb", "|Deep probed|*.dpb", false)) {
    dpb->DeepProbe = &DeepProbe;
  }
  static const std::string ten = "0123456789" + std::string(4086, '\0');
  Announce(info, 0x0054454E, uint32_t(ten.size()), ten.data(), "ten", "|Ten|*.ten", false);
  Announce(info, 0x00455854, 0, nullptr, "ext", "|By extension|*.ext");
  Announce(info, 0x0045584E, 0, nullptr, "exn", "|Content only|*.exn", true,
           glib::kMatchContentOnly);
  Announce(info, 0x0045585A, 0, nullptr, "exz", "|Not by extension|*.exz", false);
  info->Version = glib::kFilterInterfaceVersion;
  return glib::RCOK;
}

TEST_LOAD_ENTRY(LoadPRBImageData, { return AddPage(request, "LoadPRBImageData"); })
TEST_LOAD_ENTRY(GetPRBFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadDPBImageData, { return AddPage(request, "LoadDPBImageData"); })
TEST_LOAD_ENTRY(GetDPBFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadTENImageData, { return AddPage(request, "LoadTENImageData"); })
TEST_LOAD_ENTRY(GetTENFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadEXTImageData, { return AddPage(request, "LoadEXTImageData"); })
TEST_LOAD_ENTRY(GetEXTFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadEXNImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetEXNFileInfo, { return glib::RCOK; })
TEST_LOAD_ENTRY(LoadEXZImageData, { return glib::RCOK; })
TEST_LOAD_ENTRY(GetEXZFileInfo, { return glib::RCOK; })
