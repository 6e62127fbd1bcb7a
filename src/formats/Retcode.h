// Outcome of every fallible operation and of every plug-in entry: four ASCII
// characters read from the most significant byte down ('RCOK' is 0x52434F4B).
#pragma once

#include <cstdint>

namespace glib {

constexpr uint32_t FourCC(const char (&code)[5]) {
  return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
         (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}

// Plug-ins may return values outside this list; they travel on unchanged.
enum ERetcode : uint32_t {
  BADA = FourCC("BADA"),  // bad argument
  BADI = FourCC("BADI"),  // bad image file
  BADT = FourCC("BADT"),  // bad image thumbnail
  BRNF = FourCC("BRNF"),  // border not found
  BUSY = FourCC("BUSY"),  // process busy
  CFLT = FourCC("CFLT"),  // change filter: re-dispatch to the format written into the request
  DISF = FourCC("DISF"),  // disabled feature
  IDMI = FourCC("IDMI"),  // image data missing
  IERR = FourCC("IERR"),  // internal error
  IPSW = FourCC("IPSW"),  // incorrect password
  LZWD = FourCC("LZWD"),  // LZW decoding unavailable
  MFSE = FourCC("MFSE"),  // maximum file size exceeded
  MISS = FourCC("MISS"),  // input missing or cannot be opened
  MSFT = FourCC("MSFT"),  // maximum file size exceeded, output truncated
  NSUP = FourCC("NSUP"),  // no filter recognises the data
  OKAF = FourCC("OKAF"),  // partial success: the page stays
  OMEM = FourCC("OMEM"),  // out of memory
  RCOK = FourCC("RCOK"),  // success, the only value tested for it
  RERR = FourCC("RERR"),  // read error
  RNEF = FourCC("RNEF"),  // rejected: not an encrypted file
  SBRC = FourCC("SBRC"),  // solid border colour
  TMIS = FourCC("TMIS"),  // thumbnail missing
  TMNS = FourCC("TMNS"),  // thumbnail not supported by the filter
  UNSF = FourCC("UNSF"),  // entry point or feature not supported
  UREY = FourCC("UREY"),  // user retry
  USRA = FourCC("USRA"),  // user abort: a quiet end
  WERR = FourCC("WERR"),  // write error
};

// Short English text for a code; "?" for a value not in the table. Static storage.
const char* RetcodeMessage(uint32_t code) noexcept;

}  // namespace glib
