// Feeds the tar parser directly, in pieces whose sizes the input's first byte chooses, and
// passes over the data of every other entry with Skip, as the archive readers do: headers,
// pax records and every sparse map form (old GNU arrays and extension blocks, pax 0.0, 0.1
// and the 1.0 map in the data). Besides crashes and sanitizer reports, a broken promise of
// the parser is a fault: data or holes outside an entry, data for an entry with a problem,
// an entry whose data and holes do not add up to its size when it ends complete, or more
// data than the archive stores for it.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "unzip/tar_parser.h"

using namespace tarvo::unzip;

namespace {

class TChecker final : public TVmTarConsumer {
public:
  void BeginEntry(const TVmTarEntry& entry) override {
    if (FOpen) __builtin_trap();
    FOpen = true;
    FEntry = entry;
    FData = FHoles = 0;
    if (!entry.Sparse && entry.Size != entry.StoredSize) __builtin_trap();
  }
  void EntryData(const std::uint8_t* data, std::size_t count) override {
    if (!FOpen || FEntry.Problem != TVmTarProblem::tpNone || count == 0) __builtin_trap();
    FSum += data[0] + data[count - 1];  // the bytes must be readable
    FData += count;
    if (FData > FEntry.StoredSize || FData + FHoles > FEntry.Size) __builtin_trap();
  }
  void EntryHole(std::uint64_t count) override {
    if (!FOpen || !FEntry.Sparse || FEntry.Problem != TVmTarProblem::tpNone || count == 0) __builtin_trap();
    FHoles += count;
    if (FHoles > FEntry.Size || FData + FHoles > FEntry.Size) __builtin_trap();
  }
  void EndEntry(bool complete) override {
    if (!FOpen) __builtin_trap();
    FOpen = false;
    const bool skipped = FSkipping;
    FSkipping = !FSkipping;
    if (complete && !skipped && FEntry.Problem == TVmTarProblem::tpNone && FData + FHoles != FEntry.Size)
      __builtin_trap();
  }
  bool Skipping() const { return FSkipping; }

private:
  bool FOpen = false;
  bool FSkipping = false;
  TVmTarEntry FEntry;
  std::uint64_t FData = 0, FHoles = 0;
  unsigned FSum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 97 * 11;
  ++data;
  --size;
  TChecker checker;
  TVmTarParser tar(checker);
  try {
    std::size_t at = 0;
    while (at < size && !tar.Ended()) {
      if (checker.Skipping() && tar.Skippable() > 0) {
        const std::uint64_t n = std::min<std::uint64_t>(tar.Skippable(), size - at);
        tar.Skip(n);
        at += static_cast<std::size_t>(n);
        continue;
      }
      const std::size_t n = std::min(piece, size - at);
      tar.WriteBuffer(data + at, n);
      at += n;
    }
    tar.Finish();
  } catch (const std::exception&) {
  }
  return 0;
}
