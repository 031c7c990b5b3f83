#include "setup/progress_text.h"

#include "core/format.h"
#include "i18n/translations.h"

namespace tarvo::setup {

using i18n::_;

namespace {

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

std::string ByteCountText(std::int64_t n) {
  // One decimal, with the decimal comma of both languages.
  auto oneDecimal = [](std::int64_t value, std::int64_t unit) {
    const std::int64_t tenths = (value * 10 + unit / 2) / unit;
    return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
  };
  constexpr std::int64_t kKB = 1024, kMB = kKB * 1024, kGB = kMB * 1024;
  if (n < kKB) return core::Format(_("%s bytes"), {std::to_string(n < 0 ? 0 : n)});
  // Rounding may carry into the next unit: 1023,96 KB is shown as 1,0 MB.
  if (n * 10 + kKB / 2 < kMB * 10) return core::Format(_("%s KB"), {oneDecimal(n, kKB)});
  if (n * 10 + kMB / 2 < kGB * 10) return core::Format(_("%s MB"), {oneDecimal(n, kMB)});
  return core::Format(_("%s GB"), {oneDecimal(n, kGB)});
}

std::string DurationText(int seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds < 60) return core::Format(_("%d s"), {std::to_string(seconds)});
  if (seconds < 3600)
    return core::Format(_("%d min %s s"), {std::to_string(seconds / 60), TwoDigits(seconds % 60)});
  return core::Format(_("%d u %s min"), {std::to_string(seconds / 3600), TwoDigits(seconds / 60 % 60)});
}

std::string ProgressPhaseText(const TInstallProgress& p) {
  const std::string of = std::to_string(p.ArchiveIndex), count = std::to_string(p.ArchiveCount);
  switch (p.Phase) {
    case TInstallPhase::ipConnecting: return core::Format(_("Verbinden met %s..."), {p.Peer});
    case TInstallPhase::ipWaiting: return core::Format(_("Wachten op antwoord van %s..."), {p.Peer});
    case TInstallPhase::ipDownloading: return core::Format(_("%s downloaden (%d van %d)"), {p.Archive, of, count});
    case TInstallPhase::ipUnpacking: return core::Format(_("%s uitpakken (%d van %d)"), {p.Archive, of, count});
  }
  return {};
}

std::string ProgressDetailText(const TInstallProgress& p) {
  if (p.Phase == TInstallPhase::ipUnpacking && p.FilesTotal > 0)
    return core::Format(_("bestand %d van %d: %s"),
                        {std::to_string(p.FilesDone), std::to_string(p.FilesTotal), p.CurrentFile});
  if (p.Phase != TInstallPhase::ipDownloading) return {};
  // The whole step's bytes, as far as their sizes are known.
  const std::int64_t done = p.StepTotal > 0 ? p.StepDone : p.Done, total = p.StepTotal > 0 ? p.StepTotal : p.Total;
  std::string text = p.Total > 0 ? core::Format(_("%s van %s"), {ByteCountText(done), ByteCountText(total)})
                                 : ByteCountText(done);
  if (p.BytesPerSecond > 0) text += " - " + core::Format(_("%s/s"), {ByteCountText(p.BytesPerSecond)});
  if (p.SecondsLeft >= 0) text += " - " + core::Format(_("nog %s"), {DurationText(p.SecondsLeft)});
  return text;
}

}  // namespace tarvo::setup
