#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace tarvo::platform {

namespace {

constexpr unsigned kAnsiCodePage = 1252;
constexpr unsigned kOemCodePage = 850;

void AppendCodePoint(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// iconv descriptors are costly to open (the gconv module is loaded), so each code page
// keeps one; the mutex serialises their use, since a descriptor carries state.
class TConverterCache {
public:
  ~TConverterCache() {
    for (auto& [cp, cd] : FDescriptors)
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }

  std::string Convert(unsigned codePage, std::string_view bytes) {
    std::lock_guard<std::mutex> lock(FMutex);
    iconv_t cd = Descriptor(codePage);
    std::string out;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      // Unknown code page: keep the bytes readable as Latin-1 rather than failing.
      for (unsigned char c : bytes) AppendCodePoint(out, c);
      return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.reserve(bytes.size() * 3);
    char buffer[1024];
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        // An undefined byte (EILSEQ) or a cut sequence (EINVAL): pass it through as the
        // character of the same number and go on with the next byte.
        AppendCodePoint(out, static_cast<unsigned char>(*in));
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
      }
    }
    return out;
  }

private:
  iconv_t Descriptor(unsigned codePage) {
    auto it = FDescriptors.find(codePage);
    if (it != FDescriptors.end()) return it->second;
    std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    FDescriptors.emplace(codePage, cd);
    return cd;
  }

  std::mutex FMutex;
  std::map<unsigned, iconv_t> FDescriptors;
};

TConverterCache& Cache() {
  static TConverterCache cache;
  return cache;
}

}  // namespace

unsigned AnsiCodePage() noexcept { return kAnsiCodePage; }
unsigned OemCodePage() noexcept { return kOemCodePage; }

std::string CodePageToUtf8(unsigned codePage, std::string_view bytes) {
  bool ascii = true;
  for (unsigned char c : bytes)
    if (c & 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return std::string(bytes);
  return Cache().Convert(codePage, bytes);
}

}  // namespace tarvo::platform
