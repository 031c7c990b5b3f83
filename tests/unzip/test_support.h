// Shared helpers of the archive tests: a private temporary folder, running the peer tools
// (zip, 7z, python3), reading files, and a byte-level ZIP writer for hostile archives.
//
// The peer tools are Linux programs on both builds. Under Wine, Shell and Capture hand
// the command to the Linux shell (Wine starts Linux programs as they are), and Quote
// turns a Windows path into the Linux path of the same file, so one command line serves
// both builds. The program under test itself is started with RunProgram.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../common/temp_dir.h"

namespace tarvo::unzip::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder (a Native one).
using tarvo::testing::TTempDir;

// Runs a shell command; returns its exit status (-1 when it could not run).
int Shell(const std::string& command);
// Runs a command and returns its standard output (stderr goes to `errorText` when given).
std::string Capture(const std::string& command, int* status = nullptr, std::string* errorText = nullptr);
// Shell-quotes one argument (on Windows a path such as "C:\\x" becomes its Linux path).
std::string Quote(const std::string& text);
std::string Quote(const fs::path& path);
inline std::string Quote(const char* text) { return Quote(std::string(text)); }
// Runs program with args in folder ("" for the current one); returns its exit status
// (-1 when it could not run) and its standard output and error.
int RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& folder,
               std::string* out, std::string* err);
// A path of the Linux side (a build or fixture path) as this build's programs name it.
std::string HostPath(const std::string& linuxPath);
// A symbolic link at link to target; false where the system makes none (Wine).
bool MakeSymlink(const fs::path& target, const fs::path& link);
// The last write time of a file in local time, "YYYY-MM-DD HH:MM:SS".
std::string LocalWriteTime(const std::string& path);
// Whether the file may not be changed (Linux: no write bit; Windows: the read-only attribute).
bool IsReadOnly(const std::string& path);
// Takes the right to change the file away (Linux: mode 0444; Windows: read-only attribute).
void MakeReadOnly(const std::string& path);
// True when the tool answers on PATH.
bool HaveTool(const std::string& name);
// "7zz" or "7z", whichever exists ("" for none).
std::string SevenZip();

// A UTF-8 name as a path (the Windows build would read a plain string in its code page).
fs::path Utf8Path(const std::string& path);
// A path as UTF-8 text (generic: with "/" between the names).
std::string Utf8(const fs::path& path, bool generic = false);

std::vector<std::uint8_t> ReadFile(const std::string& path);
std::string ReadText(const std::string& path);
std::string ReadText(const fs::path& path);
inline std::string ReadText(const char* path) { return ReadText(std::string(path)); }
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

std::string FixturesDir();  // .../fixtures/zip-public
std::uint32_t Crc(const std::string& text);

// Extracts every entry of an archive into a fresh folder; returns "name: message" for each
// failure (a CRC mismatch included) and the folder's files through `files`.
std::vector<std::string> ExtractAll(const std::string& archive, const std::string& password = "",
                                    std::map<std::string, std::string>* files = nullptr);
// What opening and working through an archive came to.
struct TArchiveRun {
  std::string OpenError;                       // the message OpenArchive raised ("" when it opened)
  std::vector<std::string> Failures;           // "name: message" of each failed entry
  std::map<std::string, std::uint64_t> Sizes;  // listed sizes of the file entries (test runs)
};
// Opens an archive and extracts everything into folder, with stored paths when asked; a
// test run first lists the entries' sizes and tests every entry.
TArchiveRun RunArchive(const std::string& archive, const std::string& folder, bool paths = true, bool test = false);
// Regular files below a folder (links left out), by relative path with "/".
std::map<std::string, std::string> FilesBelow(const fs::path& root);

// Name, size and CRC of each file: readable when two sets differ.
std::map<std::string, std::pair<std::size_t, std::uint32_t>> Digest(const std::map<std::string, std::string>& files);

// Writes ZIP files field by field, so that every field can lie.
struct TZipEntryLayout {
  std::string Name;                  // raw name bytes, written to both headers
  std::string Data;                  // the bytes stored as the entry's data (already compressed)
  std::uint16_t Method = 0;
  std::uint16_t Flags = 0;
  std::uint16_t VersionMadeBy = 20;  // host 0 (DOS), version 2.0
  std::uint16_t VersionNeeded = 20;
  std::uint16_t Time = 0x6000;       // 12:00:00
  std::uint16_t Date = 0x5A21;       // 2025-01-01
  std::uint32_t ExternalAttributes = 0x20;
  std::optional<std::uint32_t> Crc;               // default: CRC of Data
  std::optional<std::uint32_t> CompressedSize;    // default: Data.size()
  std::optional<std::uint32_t> UncompressedSize;  // default: Data.size()
  std::optional<std::uint32_t> LocalOffset;       // default: where the local header went
  std::optional<std::string> LocalName;           // default: Name
  std::optional<std::uint32_t> LocalSignature;    // default: 04034B50h
  std::uint16_t DiskStart = 0;
  std::string LocalExtra;
  std::string CentralExtra;
};

struct TZipLayout {
  std::vector<TZipEntryLayout> Entries;
  std::string Prefix;                            // bytes before the first local header
  std::string Comment;
  std::optional<std::uint16_t> TotalEntries;     // default: the number of entries
  std::optional<std::uint32_t> DirectoryOffset;  // default: where the directory went
  std::optional<std::uint32_t> DirectorySize;
  std::uint16_t DiskNumber = 0;
  std::string Trailer;                           // bytes after the end record
};

std::vector<std::uint8_t> BuildZip(const TZipLayout& layout);

// Little-endian field writers for hand-built extra fields.
std::string LE16(std::uint16_t v);
std::string LE32(std::uint32_t v);
std::string LE64(std::uint64_t v);
std::string ExtraField(std::uint16_t id, const std::string& data);

// Tar blocks built field by field. TarHeader: one header block, fields as text, further
// fields at their offsets (written before the checksum, which is computed unless
// checksumDelta shifts it). Octal: a 12-byte size field; Base256: GNU's binary form;
// Data: bytes padded to whole blocks; PaxRecord: "<length> key=value\n".
std::string TarHeader(const std::string& name, char type, const std::string& sizeField, const std::string& link = "",
                      int checksumDelta = 0, const std::vector<std::pair<std::size_t, std::string>>& fields = {});
std::string Octal(std::uint64_t n);
std::string Base256(std::uint64_t high, std::uint64_t low);
std::string Data(const std::string& bytes);
std::string PaxRecord(const std::string& key, const std::string& value);

}  // namespace tarvo::unzip::test
