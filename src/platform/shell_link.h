// TShellLink: writes and reads a Windows shell shortcut (.lnk) in the published binary
// format, so that Windows and every standard .lnk reader accept what it writes. The file
// carries the header (show command, hot key, icon index, the target's size and times), the
// link info with the target's local path, and the string data (description, working
// folder, arguments, icon location), all texts in UTF-16.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/component.h"

namespace tarvo::platform {

enum class TShellLinkWindowState { wsNormal, wsMinimized, wsMaximized };

// The hot key as the toolkit's shortcut value: the key in the low byte, modifiers in
// scShift / scCtrl / scAlt. It is stored in the file in the shell's own form (modifier
// byte above the key byte) and converted back on reading.
using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

class TShellLink : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TShellLink)
public:
  explicit TShellLink(core::TComponent* owner = nullptr) : core::TComponent(owner) {}

  const std::string& Arguments() const { return FArguments; }
  void SetArguments(const std::string& v) { FArguments = v; }
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& v) { FDescription = v; }
  const std::string& IconFile() const { return FIconFile; }
  void SetIconFile(const std::string& v) { FIconFile = v; }
  std::uint32_t IconIndex() const { return FIconIndex; }
  void SetIconIndex(std::uint32_t v) { FIconIndex = v; }
  TShortCut HotKey() const { return FHotKey; }
  void SetHotKey(TShortCut v) { FHotKey = v; }
  const std::string& LinkFile() const { return FLinkFile; }
  void SetLinkFile(const std::string& v) { FLinkFile = v; }
  const std::string& ProgramFile() const { return FProgramFile; }
  void SetProgramFile(const std::string& v) { FProgramFile = v; }
  TShellLinkWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TShellLinkWindowState v) { FWindowState = v; }
  const std::string& WorkingDirectory() const { return FWorkingDirectory; }
  void SetWorkingDirectory(const std::string& v) { FWorkingDirectory = v; }

  // Creates or replaces LinkFile. An empty WorkingDirectory first becomes the folder of
  // ProgramFile (with its trailing '/') and keeps that value. The file is written beside
  // its final name and renamed into place, so an existing shortcut is either replaced
  // whole or left as it was. Returns false (errno set) when the file could not be written;
  // a text longer than the format holds (65535 UTF-16 units) fails the same way.
  bool Write();
  // Fills the properties from LinkFile. Returns false, leaving every property as it was,
  // when the file cannot be read or is no well-formed shell link. A show command other
  // than normal, minimized or maximized leaves WindowState unchanged.
  bool Read();

  // The file content Write stores (for the current properties; WorkingDirectory as is).
  std::vector<std::uint8_t> Serialize() const;
  // Parses file content into the properties; false (nothing changed) when malformed.
  bool Parse(const std::uint8_t* data, std::size_t size);

private:
  std::string FArguments;
  std::string FDescription;
  std::string FIconFile;
  std::uint32_t FIconIndex = 0;
  TShortCut FHotKey = 0;
  std::string FLinkFile;
  std::string FProgramFile;
  TShellLinkWindowState FWindowState = TShellLinkWindowState::wsNormal;
  std::string FWorkingDirectory;
};

}  // namespace tarvo::platform
