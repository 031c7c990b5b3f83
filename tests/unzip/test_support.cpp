#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "../common/read_file.h"
#include "core/crc32.h"
#include "core/memory_stream.h"
#include "unzip/inflate/inflate.h"
#include "unzip/unzipper.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip::test {

fs::path Utf8Path(const std::string& path) { return fs::path(std::u8string(path.begin(), path.end())); }

std::string Utf8(const fs::path& path, bool generic) {
  const std::u8string text = generic ? path.generic_u8string() : path.u8string();
  return std::string(text.begin(), text.end());
}

std::string Quote(const fs::path& path) {
  const std::u8string text = path.u8string();
  return Quote(std::string(text.begin(), text.end()));
}

std::string ReadText(const fs::path& path) { return tarvo::testing::ReadFile(path); }

bool MakeSymlink(const fs::path& target, const fs::path& link) {
  std::error_code ec;
  fs::create_symlink(target, link, ec);
  return !ec;
}

bool HaveTool(const std::string& name) { return Shell("command -v " + name + " >/dev/null 2>&1") == 0; }

std::string SevenZip() {
  if (HaveTool("7zz")) return "7zz";
  if (HaveTool("7z")) return "7z";
  return {};
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  const std::string text = tarvo::testing::ReadFile(Utf8Path(path));
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string ReadText(const std::string& path) { return tarvo::testing::ReadFile(Utf8Path(path)); }

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(Utf8Path(path), std::ios::binary | std::ios::trunc);
  out << text;
}

std::string FixturesDir() { return HostPath(std::string(TARVO_FIXTURES_DIR) + "/zip-public"); }

std::uint32_t Crc(const std::string& text) { return core::ComputeCRC32(0, text.data(), text.size()); }

std::string LE16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string LE32(std::uint32_t v) { return LE16(static_cast<std::uint16_t>(v)) + LE16(static_cast<std::uint16_t>(v >> 16)); }
std::string LE64(std::uint64_t v) { return LE32(static_cast<std::uint32_t>(v)) + LE32(static_cast<std::uint32_t>(v >> 32)); }
std::string ExtraField(std::uint16_t id, const std::string& data) {
  return LE16(id) + LE16(static_cast<std::uint16_t>(data.size())) + data;
}

std::vector<std::uint8_t> BuildZip(const TZipLayout& layout) {
  std::string out = layout.Prefix;
  std::vector<std::uint32_t> offsets;
  for (const TZipEntryLayout& e : layout.Entries) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    std::string name = e.LocalName.value_or(e.Name);
    out += LE32(e.LocalSignature.value_or(0x04034B50));                              // local file header signature
    out += LE16(e.VersionNeeded);                                                    // version needed to extract
    out += LE16(e.Flags);                                                            // general purpose bit flag
    out += LE16(e.Method);                                                           // compression method
    out += LE16(e.Time);                                                             // last mod file time
    out += LE16(e.Date);                                                             // last mod file date
    out += LE32(e.Crc.value_or(Crc(e.Data)));                                        // crc-32
    out += LE32(e.CompressedSize.value_or(static_cast<std::uint32_t>(e.Data.size())));    // compressed size
    out += LE32(e.UncompressedSize.value_or(static_cast<std::uint32_t>(e.Data.size())));  // uncompressed size
    out += LE16(static_cast<std::uint16_t>(name.size()));                            // file name length
    out += LE16(static_cast<std::uint16_t>(e.LocalExtra.size()));                    // extra field length
    out += name;
    out += e.LocalExtra;
    out += e.Data;
  }
  std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
  for (std::size_t i = 0; i < layout.Entries.size(); ++i) {
    const TZipEntryLayout& e = layout.Entries[i];
    out += LE32(0x02014B50);                                                         // central file header signature
    out += LE16(e.VersionMadeBy);                                                    // version made by
    out += LE16(e.VersionNeeded);                                                    // version needed to extract
    out += LE16(e.Flags);                                                            // general purpose bit flag
    out += LE16(e.Method);                                                           // compression method
    out += LE16(e.Time);                                                             // last mod file time
    out += LE16(e.Date);                                                             // last mod file date
    out += LE32(e.Crc.value_or(Crc(e.Data)));                                        // crc-32
    out += LE32(e.CompressedSize.value_or(static_cast<std::uint32_t>(e.Data.size())));    // compressed size
    out += LE32(e.UncompressedSize.value_or(static_cast<std::uint32_t>(e.Data.size())));  // uncompressed size
    out += LE16(static_cast<std::uint16_t>(e.Name.size()));                          // file name length
    out += LE16(static_cast<std::uint16_t>(e.CentralExtra.size()));                  // extra field length
    out += LE16(0);                                                                  // file comment length
    out += LE16(e.DiskStart);                                                        // disk number start
    out += LE16(0);                                                                  // internal file attributes
    out += LE32(e.ExternalAttributes);                                               // external file attributes
    out += LE32(e.LocalOffset.value_or(offsets[i]));                                 // relative offset of local header
    out += e.Name;
    out += e.CentralExtra;
  }
  std::uint32_t directorySize = static_cast<std::uint32_t>(out.size()) - directoryOffset;
  std::uint16_t total = layout.TotalEntries.value_or(static_cast<std::uint16_t>(layout.Entries.size()));
  out += LE32(0x06054B50);                                           // end of central dir signature
  out += LE16(layout.DiskNumber);                                      // number of this disk
  out += LE16(layout.DiskNumber);                                      // disk with the start of the central directory
  out += LE16(total);                                                // entries on this disk
  out += LE16(total);                                                // total entries
  out += LE32(layout.DirectorySize.value_or(directorySize));           // size of the central directory
  out += LE32(layout.DirectoryOffset.value_or(directoryOffset));       // offset of the central directory
  out += LE16(static_cast<std::uint16_t>(layout.Comment.size()));      // comment length
  out += layout.Comment;
  out += layout.Trailer;
  return std::vector<std::uint8_t>(out.begin(), out.end());
}

std::vector<std::string> ExtractAll(const std::string& archive, const std::string& password,
                                    std::map<std::string, std::string>* files) {
  TTempDir dir;
  TVmUnZipper unzipper;
  std::vector<std::string> failures;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) {
    failures.push_back(item->FileName() + ": " + message);
  };
  unzipper.SetBaseDirectory(dir.Path().string());
  unzipper.SetPassword(password);
  unzipper.OpenArchive(archive);
  unzipper.ExtractFiles("*.*");
  unzipper.CloseArchive();
  if (files)
    for (auto& e : fs::directory_iterator(dir.Path())) (*files)[e.path().filename().string()] = ReadText(e.path());
  return failures;
}

TArchiveRun RunArchive(const std::string& archive, const std::string& folder, bool paths, bool test) {
  TArchiveRun run;
  TVmUnZipper unzipper;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) {
    run.Failures.push_back(item->FileName() + ": " + message);
  };
  if (paths) unzipper.SetExtractOptions(eoCreateDirs | eoRestorePath);
  unzipper.SetBaseDirectory(folder);
  try {
    unzipper.OpenArchive(archive);
  } catch (const std::exception& e) {
    run.OpenError = e.what();
    return run;
  }
  if (test) {
    for (std::size_t i = 0; i < unzipper.Count(); ++i)
      if (!unzipper.Items(i)->IsDirectory()) run.Sizes[unzipper.Items(i)->FileName()] = unzipper.Items(i)->UncompressedSize();
    unzipper.Archive()->TagAll();
    unzipper.TestTaggedItems();
  }
  unzipper.ExtractFiles("*.*");
  unzipper.CloseArchive();
  return run;
}

std::map<std::string, std::string> FilesBelow(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && !e.is_symlink()) files[fs::relative(e.path(), root).generic_string()] = ReadText(e.path());
  return files;
}

std::map<std::string, std::pair<std::size_t, std::uint32_t>> Digest(const std::map<std::string, std::string>& files) {
  std::map<std::string, std::pair<std::size_t, std::uint32_t>> out;
  for (const auto& [name, data] : files) out[name] = {data.size(), Crc(data)};
  return out;
}

std::string TarHeader(const std::string& name, char type, const std::string& sizeField, const std::string& link,
                      int checksumDelta, const std::vector<std::pair<std::size_t, std::string>>& fields) {
  std::string h(512, '\0');
  h.replace(0, std::min<std::size_t>(name.size(), 100), name.substr(0, 100));
  h.replace(100, 7, "0000644");
  h.replace(124, sizeField.size(), sizeField);
  h.replace(136, 11, "14700000000");
  h[156] = type;
  h.replace(157, link.size(), link);
  h.replace(257, 8, std::string("ustar  \0", 8));
  for (const auto& [offset, text] : fields) h.replace(offset, text.size(), text);
  h.replace(148, 8, "        ");
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  char field[8];
  std::snprintf(field, sizeof field, "%06o", sum + checksumDelta);
  h.replace(148, 7, std::string(field, 7));
  return h;
}

std::string Octal(std::uint64_t n) {
  char f[13];
  std::snprintf(f, sizeof f, "%011llo", static_cast<unsigned long long>(n));
  return f;
}

std::string Base256(std::uint64_t high, std::uint64_t low) {
  std::string f(12, '\0');
  f[0] = static_cast<char>(0x80);
  for (int i = 0; i < 3; ++i) f[1 + i] = static_cast<char>(high >> (8 * (2 - i)));
  for (int i = 0; i < 8; ++i) f[4 + i] = static_cast<char>(low >> (8 * (7 - i)));
  return f;
}

std::string Data(const std::string& bytes) { return bytes + std::string((512 - bytes.size() % 512) % 512, '\0'); }

std::string PaxRecord(const std::string& key, const std::string& value) {
  // The length counts its own digits.
  std::size_t body = key.size() + value.size() + 3;  // ' ', '=', '\n'
  std::size_t length = body + 1;
  while (std::to_string(length).size() + body != length) ++length;
  return std::to_string(length) + " " + key + "=" + value + "\n";
}

}  // namespace tarvo::unzip::test
