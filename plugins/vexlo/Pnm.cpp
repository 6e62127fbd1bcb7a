// The Netpbm family: PBM, PGM and PPM (plain and raw), PAM and the float PFM.
#include <algorithm>
#include <cmath>

#include "vexlo/Formats.h"

namespace vexlo {
namespace {

struct PnmHeader {
  char kind = 0;  // '1'..'7', 'F' (colour float), 'f' (grey float)
  int32_t width = 0, height = 0;
  uint32_t maxval = 1;
  uint32_t depth = 1;  // samples per pixel
  std::string tupleType, comment;
  float scale = 1;  // PFM: negative means little-endian
  size_t dataStart = 0;
};

// Header tokens: whitespace and comments between them.
class Tokens {
 public:
  Tokens(std::span<const uint8_t> bytes, size_t pos, std::string& comment)
      : bytes_(bytes), pos_(pos), comment_(comment) {}
  bool Next(std::string& out) {
    out.clear();
    while (pos_ < bytes_.size()) {
      uint8_t c = bytes_[pos_];
      if (c == '#') {
        size_t start = ++pos_;
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') ++pos_;
        if (comment_.size() < 4096) {
          if (!comment_.empty()) comment_ += '\n';
          std::string text(reinterpret_cast<const char*>(&bytes_[start]), pos_ - start);
          comment_ += text.substr(text.find_first_not_of(' ') == std::string::npos
                                      ? text.size()
                                      : text.find_first_not_of(' '));
        }
      } else if (std::isspace(c)) {
        ++pos_;
      } else {
        break;
      }
    }
    while (pos_ < bytes_.size() && !std::isspace(bytes_[pos_]) && out.size() < 64)
      out += char(bytes_[pos_++]);
    return !out.empty();
  }
  bool Number(uint32_t& value, uint32_t limit) {
    std::string t;
    if (!Next(t) || t.size() > 10 || t.find_first_not_of("0123456789") != std::string::npos)
      return false;
    uint64_t v = std::stoull(t);
    if (v > limit) return false;
    value = uint32_t(v);
    return true;
  }
  // The single whitespace byte that ends a raw header.
  size_t DataStart() const { return std::min(pos_ + 1, bytes_.size()); }
  size_t Pos() const { return pos_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_;
  std::string& comment_;
};

uint32_t ReadHeader(std::span<const uint8_t> bytes, PnmHeader& h) {
  if (bytes.size() < 3 || bytes[0] != 'P') return BADI;
  h.kind = char(bytes[1]);
  Tokens t(bytes, 2, h.comment);
  uint32_t w = 0, hgt = 0;
  if (h.kind == '7') {
    std::string key, value;
    for (int lines = 0; lines < 1000; ++lines) {
      if (!t.Next(key)) return BADI;
      if (key == "ENDHDR") break;
      uint32_t number = 0;
      if (key == "WIDTH" && !t.Number(w, 1u << 30)) return BADI;
      if (key == "HEIGHT" && !t.Number(hgt, 1u << 30)) return BADI;
      if (key == "DEPTH" && (!t.Number(number, 4) || number == 0)) return BADI;
      if (key == "DEPTH") h.depth = number;
      if (key == "MAXVAL" && (!t.Number(h.maxval, 65535) || h.maxval == 0)) return BADI;
      if (key == "TUPLTYPE") {
        t.Next(value);
        h.tupleType = value;
      }
    }
    h.dataStart = t.DataStart();
  } else if (h.kind == 'F' || h.kind == 'f') {
    std::string scale;
    if (!t.Number(w, 1u << 30) || !t.Number(hgt, 1u << 30) || !t.Next(scale)) return BADI;
    char* end = nullptr;
    h.scale = std::strtof(scale.c_str(), &end);
    if (!std::isfinite(h.scale) || h.scale == 0) return BADI;
    h.depth = h.kind == 'F' ? 3 : 1;
    h.dataStart = t.DataStart();
  } else if (h.kind >= '1' && h.kind <= '6') {
    if (!t.Number(w, 1u << 30) || !t.Number(hgt, 1u << 30)) return BADI;
    bool bitmap = h.kind == '1' || h.kind == '4';
    if (!bitmap && (!t.Number(h.maxval, 65535) || h.maxval == 0)) return BADI;
    h.depth = h.kind == '3' || h.kind == '6' ? 3 : 1;
    h.dataStart = h.kind >= '4' ? t.DataStart() : t.Pos();
  } else {
    return BADI;
  }
  h.width = int32_t(w);
  h.height = int32_t(hgt);
  return CheckSize(h.width, h.height);
}

bool IsBitmap(const PnmHeader& h) {
  return h.kind == '1' || h.kind == '4' ||
         (h.kind == '7' && h.tupleType.rfind("BLACKANDWHITE", 0) == 0 && h.depth == 1);
}

uint32_t PageType(const PnmHeader& h) {
  if (IsBitmap(h)) return glib::kPixelIndexed1;
  bool wide = h.maxval > 255 || h.kind == 'F' || h.kind == 'f';
  switch (h.depth) {
    case 1:
      return wide ? glib::kPixelGray16 : kGray8;
    case 3:
      return wide ? glib::kPixelRGB48 : glib::kPixelRGB24;
    default:  // 2: grey with alpha, 4: colour with alpha
      return wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32;
  }
}

}  // namespace

uint32_t LoadPnm(LoadJob& job) {
  PnmHeader h;
  PagePtr page;
  uint32_t rc = OpenPage(job, h, ReadHeader, PageType, page);
  if (rc != RCOK) return rc;
  std::span<const uint8_t> bytes = job.source.Bytes();
  uint32_t type = PageType(h);
  glib::CoreBitmap& b = page->bitmap;
  if (type == glib::kPixelIndexed1) {
    // PBM: 1 is black; PAM BLACKANDWHITE: 0 is black.
    bool pam = h.kind == '7';
    b.palette[0] = pam ? 0xFF000000u : 0xFFFFFFFFu;
    b.palette[1] = pam ? 0xFFFFFFFFu : 0xFF000000u;
    b.paletteSize = 2;
  }
  bool plain = h.kind >= '1' && h.kind <= '3';
  bool wideIn = h.maxval > 255;
  uint32_t depth = h.depth;
  size_t pos = h.dataStart;
  // One sample at a time; missing data ends the picture early (the rest stays empty).
  auto sample = [&](uint32_t& value) -> bool {
    if (plain) {
      while (pos < bytes.size() && (std::isspace(bytes[pos]) || bytes[pos] == '#')) {
        if (bytes[pos] == '#') {
          while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
        } else {
          ++pos;
        }
      }
      if (pos >= bytes.size() || !std::isdigit(bytes[pos])) return false;
      if (h.kind == '1') {  // digits need no separators
        value = bytes[pos++] - '0';
        return value <= 1;
      }
      uint64_t v = 0;
      while (pos < bytes.size() && std::isdigit(bytes[pos]) && v <= 65535)
        v = v * 10 + (bytes[pos++] - '0');
      value = uint32_t(std::min<uint64_t>(v, h.maxval));
      return true;
    }
    size_t n = wideIn ? 2 : 1;
    if (bytes.size() - pos < n) return false;
    value = wideIn ? uint32_t(bytes[pos] << 8 | bytes[pos + 1]) : bytes[pos];
    value = std::min(value, h.maxval);
    pos += n;
    return true;
  };
  bool wideOut = glib::BitsPerSample(type) == 16 && type != glib::kPixelIndexed1;
  auto scaleTo = [&](uint32_t v) -> uint32_t {
    return wideOut ? (v * 65535u + h.maxval / 2) / h.maxval : (v * 255u + h.maxval / 2) / h.maxval;
  };
  bool ok = true;
  if (h.kind == 'F' || h.kind == 'f') {
    // Rows bottom-up, samples linear floats; shown clamped to 0..1.
    bool little = h.scale < 0;
    for (int32_t row = 0; row < h.height && ok; ++row) {
      uint16_t* out = reinterpret_cast<uint16_t*>(PixelRow(b, h.height - 1 - row));
      for (int32_t x = 0; x < h.width && ok; ++x) {
        float v[3];
        for (uint32_t c = 0; c < depth; ++c) {
          if (bytes.size() - pos < 4) {
            ok = false;
            break;
          }
          const uint8_t* p = &bytes[pos];
          uint32_t bits = little ? uint32_t(p[0] | p[1] << 8 | p[2] << 16) | uint32_t(p[3]) << 24
                                 : uint32_t(p[3] | p[2] << 8 | p[1] << 16) | uint32_t(p[0]) << 24;
          std::memcpy(&v[c], &bits, 4);
          pos += 4;
        }
        if (!ok) break;
        auto to16 = [](float f) {
          return uint16_t(std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) * 65535.0f + 0.5f : 0);
        };
        if (depth == 1) {
          out[x] = to16(v[0]);
        } else {
          out[x * 3] = to16(v[2]);
          out[x * 3 + 1] = to16(v[1]);
          out[x * 3 + 2] = to16(v[0]);
        }
      }
    }
    return AddPage(job.request, std::move(page), job.options);
  }
  for (int32_t y = 0; y < h.height && ok; ++y) {
    uint8_t* out = PixelRow(b, y);
    if (type == glib::kPixelIndexed1) {
      if (!plain) {
        size_t rowBytes = size_t((h.width + 7) / 8) * (h.kind == '7' ? 8 : 1);
        if (h.kind == '4') {
          if (bytes.size() - pos < rowBytes) break;
          std::memcpy(out, &bytes[pos], rowBytes);
          pos += rowBytes;
          continue;
        }
      }
      for (int32_t x = 0; x < h.width && ok; ++x) {
        uint32_t v;
        ok = sample(v);
        if (ok && v) out[x / 8] |= uint8_t(0x80 >> (x % 8));
      }
      continue;
    }
    for (int32_t x = 0; x < h.width && ok; ++x) {
      uint32_t s[4] = {0, 0, 0, h.maxval};
      for (uint32_t c = 0; c < depth && ok; ++c) ok = sample(s[c]);
      if (!ok) break;
      if (depth == 2) s[3] = s[1], s[1] = s[2] = s[0];
      uint32_t channels = glib::SamplesPerPixel(type);
      uint32_t order[4] = {2, 1, 0, 3};  // blue, green, red, alpha from red, green, blue, alpha
      for (uint32_t c = 0; c < channels; ++c) {
        uint32_t v = scaleTo(channels == 1 ? s[0] : s[order[c]]);
        if (wideOut) {
          reinterpret_cast<uint16_t*>(out)[x * channels + c] = uint16_t(v);
        } else {
          out[x * channels + c] = uint8_t(v);
        }
      }
    }
  }
  return AddPage(job.request, std::move(page), job.options);
}

uint32_t InfoPnm(const Source& source, InfoRecord& info) {
  PnmHeader h;
  uint32_t rc = ReadHeader(source.Bytes(), h);
  if (rc != RCOK) return rc;
  static const char* const kNames[] = {"Portable Bitmap", "Portable Graymap", "Portable Pixmap"};
  bool pam = h.kind == '7', pfm = h.kind == 'F' || h.kind == 'f';
  int family = h.kind == '1' || h.kind == '4' ? 0 : h.kind == '2' || h.kind == '5' ? 1 : 2;
  info.SetType(pam ? "Portable Arbitrary Map" : pfm ? "Portable Float Map" : kNames[family]);
  info.width = h.width;
  info.height = h.height;
  uint32_t bits = IsBitmap(h) ? 1 : pfm ? 32 : h.maxval > 255 ? 16 : 8;
  info.bitsPerPixel = int32_t(bits * h.depth);
  info.pixelType = PageType(h);
  info.kind = IsBitmap(h) ? 0 : h.depth <= 2 ? 1 : 2;
  info.pageCount = 1;
  if (pam) info.SetText(glib::kInfoImageType, h.tupleType);
  if (!h.comment.empty()) info.SetText(glib::kInfoComment, h.comment);
  return RCOK;
}

uint32_t SavePnm(SaveJob& job) {
  const glib::IDEPage* page = SavePages(job.request).front();
  const auto& params = *static_cast<const glib::PNMSave*>(job.params);
  uint32_t format = job.format;
  bool raw = params.rawData != 0 || format == 0x0050414D;  // PAM has no plain form
  bool pageWide = glib::BitsPerSample(page->bitmap.pixelType) == 16;
  uint32_t type = params.pixelType;
  // What each member stores: PBM bits, PGM grey (16-bit when the page has 16-bit
  // samples), PPM 8-bit colour, PFM float colour or grey, PAM the record's type.
  uint32_t prepareAs;
  char magic;
  uint32_t depth = 1, maxval = 255;
  std::string tuple;
  bool grey = params.grayscale != 0;
  switch (format) {
    case 0x0050424D:  // PBM
      prepareAs = kGray8;
      magic = raw ? '4' : '1';
      maxval = 1;
      break;
    case 0x0050474D:  // PGM
      prepareAs = pageWide ? uint32_t(glib::kPixelGray16) : kGray8;
      maxval = pageWide ? 65535 : 255;
      magic = raw ? '5' : '2';
      break;
    case 0x0050464D:  // PFM
      prepareAs = grey ? uint32_t(glib::kPixelGray16) : uint32_t(glib::kPixelRGB48);
      depth = grey ? 1 : 3;
      magic = grey ? 'f' : 'F';
      break;
    case 0x0050414D: {  // PAM
      bool wide = glib::BitsPerSample(type) == 16;
      bool alpha = glib::HasAlpha(type);
      bool colour = glib::ColourModel(type) == 3 && !grey;
      magic = '7';
      if (glib::BitsPerPixel(type) == 1) {
        prepareAs = kGray8;
        maxval = 1;
        tuple = "BLACKANDWHITE";
      } else {
        prepareAs = alpha    ? (wide ? glib::kPixelRGBA64 : glib::kPixelRGBA32)
                    : colour ? (wide ? glib::kPixelRGB48 : glib::kPixelRGB24)
                             : (wide ? uint32_t(glib::kPixelGray16) : kGray8);
        maxval = wide ? 65535 : 255;
        depth = colour ? (alpha ? 4 : 3) : (alpha ? 2 : 1);
        tuple = colour ? (alpha ? "RGB_ALPHA" : "RGB") : (alpha ? "GRAYSCALE_ALPHA" : "GRAYSCALE");
      }
      break;
    }
    default:  // PPM
      prepareAs = glib::kPixelRGB24;
      depth = 3;
      magic = raw ? '6' : '3';
      break;
  }
  SavePixels pixels;
  uint32_t rc = pixels.Prepare(page->bitmap, prepareAs, false, grey || depth <= 2);
  if (rc != RCOK) return rc;
  int32_t w = pixels.Width(), h = pixels.Height();
  Writer out;
  std::string head = std::string("P") + magic + "\n";
  if (magic == '7') {
    head += "WIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) + "\nDEPTH " +
            std::to_string(depth) + "\nMAXVAL " + std::to_string(maxval) + "\nTUPLTYPE " + tuple +
            "\nENDHDR\n";
  } else {
    head += std::to_string(w) + " " + std::to_string(h) + "\n";
    if (magic == 'F' || magic == 'f') {
      head += "-1.0\n";
    } else if (maxval > 1) {
      head += std::to_string(maxval) + "\n";
    }
  }
  out.Append(head);
  bool wide = maxval > 255;
  bool bitmap = maxval == 1;
  int lineLength = 0;
  auto plain = [&](uint32_t v) {
    std::string text = std::to_string(v);
    if (lineLength + int(text.size()) + 1 > 70) {
      out.U8('\n');
      lineLength = 0;
    }
    if (lineLength) {
      out.U8(' ');
      ++lineLength;
    }
    out.Append(text);
    lineLength += int(text.size());
  };
  uint32_t channels = glib::SamplesPerPixel(prepareAs);
  std::vector<int16_t> carry(size_t(w) + 2, 0);
  for (int32_t row = 0; row < h; ++row) {
    // PFM stores rows bottom-up.
    int32_t y = magic == 'F' || magic == 'f' ? h - 1 - row : row;
    const uint8_t* in = pixels.Row(y);
    if (magic == 'F' || magic == 'f') {
      const uint16_t* s = reinterpret_cast<const uint16_t*>(in);
      for (int32_t x = 0; x < w; ++x) {
        if (depth == 1) {
          out.F32LE(s[x] / 65535.0f);
        } else {
          out.F32LE(s[x * 3 + 2] / 65535.0f);
          out.F32LE(s[x * 3 + 1] / 65535.0f);
          out.F32LE(s[x * 3] / 65535.0f);
        }
      }
      continue;
    }
    if (bitmap) {
      // Black is 1 in PBM and 0 in PAM; dithered along the row when asked.
      std::vector<uint8_t> bits(size_t(w + 7) / 8, 0);
      int error = 0;
      for (int32_t x = 0; x < w; ++x) {
        int want = in[x] + (params.dither ? error : 0);
        bool white = want >= 128;
        error = std::clamp(want - (white ? 255 : 0), -255, 255);
        bool one = magic == '7' ? white : !white;
        if (magic == '7') {
          out.U8(one ? 1 : 0);
        } else if (raw) {
          if (one) bits[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        } else {
          plain(one ? 1 : 0);
        }
      }
      if (raw && magic != '7') out.Append(bits.data(), bits.size());
      continue;
    }
    for (int32_t x = 0; x < w; ++x) {
      uint32_t s[4];
      for (uint32_t c = 0; c < channels; ++c)
        s[c] =
            wide ? reinterpret_cast<const uint16_t*>(in)[x * channels + c] : in[x * channels + c];
      uint32_t values[4];
      uint32_t n = depth;
      if (channels == 1) {
        values[0] = s[0];
      } else if (depth <= 2) {
        values[0] = s[1];
        values[1] = s[3];
      } else {
        values[0] = s[2];
        values[1] = s[1];
        values[2] = s[0];
        values[3] = channels == 4 ? s[3] : 0;
      }
      for (uint32_t c = 0; c < n; ++c) {
        if (!raw) {
          plain(values[c]);
        } else if (wide) {
          out.U16BE(values[c]);
        } else {
          out.U8(values[c]);
        }
      }
    }
    if (!raw) {
      out.U8('\n');
      lineLength = 0;
    }
    if (out.Size() > (1u << 24)) {
      if (!job.sink.Write(out.Bytes())) return WERR;
      out.Bytes().clear();
    }
  }
  return job.sink.Write(out.Bytes()) ? RCOK : WERR;
}

}  // namespace vexlo
