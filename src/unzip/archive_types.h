// Shared vocabulary of the archive library: archive kinds and states, item actions,
// extract options, failure classes, and the event and callback signatures through which
// archives report to their component and the component to its user.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarvo::core {
class TStream;
}

namespace tarvo::unzip {

enum class TVmArchiveType {
  atUnknown,
  atZip,
  atSpannedZip,
  atSelfExtZip,
  atTar,
  atGzip,
  atGzippedTar,
  atCab,
  atBzip2,
  atBzippedTar,
};

enum class TVmArchiveStatus { asInvalid, asIdle, asBusy };

enum class TVmArchiveAction { aaFailed, aaNone, aaAdd, aaDelete, aaFreshen, aaMove, aaReplace, aaStreamAdd };

// Extract options: create missing folders; keep the entry's stored folder path.
enum TVmExtractOption : unsigned { eoCreateDirs = 1u << 0, eoRestorePath = 1u << 1 };
using TVmExtractOptions = unsigned;
inline constexpr TVmExtractOptions kDefaultExtractOptions = eoCreateDirs;

enum class TVmErrorClass { ecVellmora, ecInOutError, ecFilerError, ecFileCreateError, ecFileOpenError, ecCabError, ecOther };

enum class TVmProcessType { ptAdd, ptDelete, ptExtract, ptFreshen, ptMove, ptReplace, ptFoundUnhandled };

class TVmArchiveItem;

// Event signatures. The sender is the object that raises the event (the component for the
// user's events, the archive for the archive's callbacks).
using TVmArchiveEvent = std::function<void(void* sender)>;
using TVmArchiveConfirmEvent = std::function<void(void* sender, bool& confirm)>;
using TVmArchiveProgressEvent = std::function<void(void* sender, std::uint8_t progress, bool& abort)>;
using TVmArchiveItemProgressEvent =
    std::function<void(void* sender, TVmArchiveItem* item, std::uint8_t progress, bool& abort)>;
using TVmArchiveItemConfirmEvent =
    std::function<void(void* sender, TVmArchiveItem* item, TVmProcessType processType, bool& confirm)>;
// No sender: name is the output path and may be changed.
using TVmConfirmOverwriteEvent = std::function<void(std::string& name, bool& confirm)>;
// The failure report. errorMessage is the failure's message text (an addition to the
// classic signature, so that a tool can say what went wrong without a table of codes).
using TVmArchiveItemFailureEvent =
    std::function<void(void* sender, TVmArchiveItem* item, TVmProcessType processType, TVmErrorClass errorClass,
                       int errorCode, const std::string& errorMessage)>;
using TVmArchiveItemExtractEvent =
    std::function<void(void* sender, TVmArchiveItem* item, const std::string& newName)>;
using TVmArchiveItemExtractToStreamEvent =
    std::function<void(void* sender, TVmArchiveItem* item, core::TStream* outStream)>;
using TVmArchiveItemTestEvent = std::function<void(void* sender, TVmArchiveItem* item)>;
using TVmNeedPasswordEvent = std::function<void(void* sender, std::string& newPassword)>;
// Disk requests of split and spanned sets: abort = true gives up.
using TVmRequestDiskEvent = std::function<void(void* sender, int diskNumber, bool& abort)>;
using TVmRequestImageEvent = std::function<void(void* sender, int imageNumber, std::string& imageName, bool& abort)>;

}  // namespace tarvo::unzip
