#include "i18n/file_locator.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "core/text_trim.h"
#include "i18n/language_system.h"

namespace tarvo::i18n {

namespace {

// A UTF-8 path as the file system's own (UTF-16 on Windows, the bytes elsewhere).
std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

constexpr char kMarkerPrefix[] = "TRC";
// Stored backwards so that neither marker appears whole anywhere in our own binary.
constexpr char kBeginGuidReversed[] = "34F0B58E2D17-C3A9-85E4-D7B4-19A2C0F6";
constexpr char kEndGuidReversed[] = "85B2A1C6F7E0-9D4B-68F4-B1C2-70D59E3A";

// Markers are searched in blocks of this many bytes, each joined to the previous one.
constexpr std::size_t kAnalyzeBlockSize = 100000;
// A relative catalog name longer than this is taken as damage.
constexpr std::uint64_t kMaxEmbeddedNameLength = 4096;
// Entries in one block, at most; the chain also has to move forward at every step.
constexpr std::size_t kMaxEmbeddedEntries = 100000;
constexpr std::uint64_t kEntryHeaderSize = 24;

std::string Marker(const char* reversedGuid) {
  std::string guid(reversedGuid);
  std::reverse(guid.begin(), guid.end());
  return kMarkerPrefix + guid;
}

std::uint64_t Get64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void Put64(std::string& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Position of the first occurrence of marker, 0 when absent. Each block is searched
// joined to the end of the previous one, so that a marker across a boundary is found.
std::uint64_t FindMarker(std::ifstream& in, const std::string& marker) {
  in.clear();
  in.seekg(0);
  const std::size_t keepMax = marker.size() - 1;
  std::vector<char> buf(keepMax + kAnalyzeBlockSize);
  std::size_t kept = 0;
  std::uint64_t bufStart = 0;  // file position of buf[0]
  for (;;) {
    in.read(buf.data() + kept, static_cast<std::streamsize>(kAnalyzeBlockSize));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) return 0;
    const std::string_view view(buf.data(), kept + got);
    const std::size_t at = view.find(marker);
    if (at != std::string_view::npos) return bufStart + at;
    const std::size_t keep = view.size() < keepMax ? view.size() : keepMax;
    std::memmove(buf.data(), buf.data() + view.size() - keep, keep);
    bufStart += view.size() - keep;
    kept = keep;
  }
}

std::string TrimName(std::string_view raw) {
  std::string name(core::Trim(raw));
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

}  // namespace

std::string EmbedBeginMarker() { return Marker(kBeginGuidReversed); }
std::string EmbedEndMarker() { return Marker(kEndGuidReversed); }

std::string BuildEmbeddedBlock(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string block = EmbedBeginMarker();
  const std::uint64_t h = block.size();
  std::vector<std::uint64_t> dataPos;
  for (auto& f : files) {
    dataPos.push_back(block.size() - h);
    block += f.second;
  }
  const std::uint64_t first = block.size() - h;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::uint64_t here = block.size() - h;
    const std::uint64_t next = here + kEntryHeaderSize + files[i].first.size();
    Put64(block, next);
    Put64(block, dataPos[i]);
    Put64(block, files[i].second.size());
    block += files[i].first;
  }
  block.append(kEntryHeaderSize, '\0');  // the entry that ends the chain
  Put64(block, first);
  block += EmbedEndMarker();
  return block;
}

TFileLocator::~TFileLocator() = default;

void TFileLocator::Analyze(const std::string& exe) {
  executable = exe;
  const std::size_t slash = exe.find_last_of(kPathSeparators);
  basedirectory = slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
  filelist.clear();
  try {
    std::ifstream in(NativePath(exe), std::ios::binary);
    if (!in) return;
    const std::uint64_t begin = FindMarker(in, EmbedBeginMarker());
    if (begin == 0) return;
    const std::uint64_t end = FindMarker(in, EmbedEndMarker());
    if (end == 0) return;
    const std::uint64_t h = begin + EmbedBeginMarker().size();
    if (end < h + 8) return;
    // Everything the chain may point at lies between H and the first-entry field. Entries
    // are read one at a time, so memory stays small whatever the block claims.
    const std::uint64_t limit = end - 8 - h;
    auto readAt = [&](std::uint64_t relative, char* out, std::size_t n) {
      in.clear();
      in.seekg(static_cast<std::streamoff>(h + relative));
      in.read(out, static_cast<std::streamsize>(n));
      return static_cast<std::size_t>(in.gcount()) == n;
    };
    unsigned char field[kEntryHeaderSize];
    if (!readAt(limit, reinterpret_cast<char*>(field), 8)) return;
    std::uint64_t pos = Get64(field);
    std::string rawName;
    for (std::size_t count = 0; count < kMaxEmbeddedEntries; ++count) {
      if (pos > limit || limit - pos < 8) return;
      if (!readAt(pos, reinterpret_cast<char*>(field), 8)) return;
      const std::uint64_t next = Get64(field);
      if (next == 0) return;
      if (limit - pos < kEntryHeaderSize || next < pos + kEntryHeaderSize || next > limit) return;
      if (!readAt(pos, reinterpret_cast<char*>(field), kEntryHeaderSize)) return;
      const std::uint64_t dataPos = Get64(field + 8);
      const std::uint64_t size = Get64(field + 16);
      const std::uint64_t nameLength = next - pos - kEntryHeaderSize;
      if (nameLength > kMaxEmbeddedNameLength) return;
      if (dataPos > limit || size > limit - dataPos) return;
      rawName.assign(static_cast<std::size_t>(nameLength), '\0');
      if (!readAt(pos + kEntryHeaderSize, rawName.data(), rawName.size())) return;
      const std::string name = TrimName(rawName);
      if (!name.empty()) filelist[name] = TEmbeddedFileInfo{h + dataPos, size};
      pos = next;
    }
  } catch (...) {
    // A damaged block must not stop the program; what was read so far stays.
  }
}

const TEmbeddedFileInfo* TFileLocator::FindEmbedded(const std::string& fileName) const {
  if (basedirectory.empty() || fileName.size() <= basedirectory.size() ||
      fileName.compare(0, basedirectory.size(), basedirectory) != 0)
    return nullptr;
  // Embedded names are kept with "/" (TrimName); a path this system made may hold "\\".
  std::string relative = fileName.substr(basedirectory.size());
  std::replace(relative.begin(), relative.end(), '\\', '/');
  auto it = filelist.find(relative);
  return it == filelist.end() ? nullptr : &it->second;
}

bool TFileLocator::FileExists(const std::string& fileName) const {
  if (FindEmbedded(fileName)) return true;
  std::error_code ec;
  try {
    return std::filesystem::is_regular_file(NativePath(fileName), ec);
  } catch (const std::exception&) {
    return false;  // a name that is no UTF-8 names no file here
  }
}

TMoFile* TFileLocator::GetMoFile(const std::string& fileName) {
  std::string realName = fileName;
  std::uint64_t offset = 0, size = TMoFile::kWholeFile;
  if (const TEmbeddedFileInfo* info = FindEmbedded(fileName)) {
    realName = executable;
    offset = info->offset;
    size = info->size;
  }
  const std::string key = realName + " //\\\\ " + std::to_string(offset);
  {
    std::unique_lock lock(MoFilesCS);
    auto it = MoFiles.find(key);
    if (it != MoFiles.end()) {
      ++it->second->Users;
      return it->second.get();
    }
  }
  // Loaded without the lock: building the error of a damaged catalog may load resource
  // strings, whose translation may come back here.
  auto loaded = std::make_unique<TMoFile>(realName, offset, size);
  std::unique_lock lock(MoFilesCS);
  std::unique_ptr<TMoFile>& slot = MoFiles[key];
  if (!slot) slot = std::move(loaded);  // else another thread was first; ours goes
  ++slot->Users;
  return slot.get();
}

void TFileLocator::ReleaseMoFile(TMoFile* moFile) {
  if (!moFile) return;
  std::unique_lock lock(MoFilesCS);
  if (--moFile->Users > 0) return;
  // The last user gone: the cache drops the catalog, which unmaps it.
  std::erase_if(MoFiles, [moFile](const auto& entry) { return entry.second.get() == moFile; });
}

}  // namespace tarvo::i18n
