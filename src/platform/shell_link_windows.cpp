// The shortcut on Windows: the shell's own link object (IShellLinkW) saved and loaded
// through IPersistFile, so the file is exactly what Explorer makes. COM is started by the
// application object for the GUI thread; a caller without it (the silent mode) gets it here
// for the call.
#include <cerrno>
#include <string>

#include "platform/shell_link.h"
#include "platform/shell_link_format.h"
// Windows headers last: their macros (DRIVE_FIXED, ...) would rewrite our names.
#include "platform/wide_text.h"
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace tarvo::platform {

namespace {

// COM for this thread while it lives, unless the thread has it already.
class TComScope {
public:
  TComScope() : FStarted(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~TComScope() {
    if (FStarted) CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

private:
  bool FStarted;
};

template <class T>
struct TComPtr {
  T* P = nullptr;
  ~TComPtr() {
    if (P) P->Release();
  }
  T* operator->() const { return P; }
};

int ShowCommandOf(TShellLinkWindowState state) {
  switch (state) {
    case TShellLinkWindowState::wsMinimized: return SW_SHOWMINNOACTIVE;
    case TShellLinkWindowState::wsMaximized: return SW_SHOWMAXIMIZED;
    case TShellLinkWindowState::wsNormal: break;
  }
  return SW_SHOWNORMAL;
}

// The toolkit's shortcut value to the shell's: modifiers in the high byte.
WORD ShellHotKey(TShortCut s) {
  BYTE mods = 0;
  if (s & scShift) mods |= HOTKEYF_SHIFT;
  if (s & scCtrl) mods |= HOTKEYF_CONTROL;
  if (s & scAlt) mods |= HOTKEYF_ALT;
  return static_cast<WORD>((s & 0xFF) | mods << 8);
}

TShortCut ShortCutOf(WORD hotKey) {
  TShortCut s = hotKey & 0xFF;
  const BYTE mods = static_cast<BYTE>(hotKey >> 8);
  if (mods & HOTKEYF_SHIFT) s |= scShift;
  if (mods & HOTKEYF_CONTROL) s |= scCtrl;
  if (mods & HOTKEYF_ALT) s |= scAlt;
  return s;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool Fail(int error) {
  errno = error;
  return false;
}

std::uint64_t Ticks(const FILETIME& t) { return static_cast<std::uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

}  // namespace

lnk::TLinkTarget lnk::LinkTargetOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return {};
  return {true, Ticks(data.ftCreationTime), Ticks(data.ftLastAccessTime), Ticks(data.ftLastWriteTime),
          static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow};
}

bool TShellLink::Write() {
  if (FWorkingDirectory.empty()) FWorkingDirectory = FolderOf(FProgramFile);
  for (const std::string* text : {&FDescription, &FWorkingDirectory, &FArguments, &FIconFile, &FProgramFile})
    if (Widen(*text).size() > lnk::kMaxStringDataChars) return Fail(ENAMETOOLONG);
  TComScope com;
  TComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link.P))))
    return Fail(EIO);
  link->SetPath(Widen(FProgramFile).c_str());
  link->SetDescription(Widen(FDescription).c_str());
  link->SetWorkingDirectory(Widen(FWorkingDirectory).c_str());
  link->SetArguments(Widen(FArguments).c_str());
  if (!FIconFile.empty()) link->SetIconLocation(Widen(FIconFile).c_str(), static_cast<int>(FIconIndex));
  link->SetHotkey(ShellHotKey(FHotKey));
  link->SetShowCmd(ShowCommandOf(FWindowState));
  TComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.P)))) return Fail(EIO);
  // The shell writes the whole file or reports a failure.
  if (FAILED(file->Save(Widen(FLinkFile).c_str(), TRUE))) return Fail(EACCES);
  return true;
}

bool TShellLink::Read() {
  TComScope com;
  TComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link.P))))
    return false;
  TComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.P))) ||
      FAILED(file->Load(Widen(FLinkFile).c_str(), STGM_READ)))
    return false;
  constexpr int kChars = lnk::kMaxStringDataChars + 1;
  std::wstring buffer(kChars, L'\0');
  auto text = [&](HRESULT hr) { return SUCCEEDED(hr) ? Narrow(buffer.c_str()) : std::string(); };
  const std::string path = text(link->GetPath(buffer.data(), kChars, nullptr, SLGP_RAWPATH));
  const std::string description = text(link->GetDescription(buffer.data(), kChars));
  const std::string folder = text(link->GetWorkingDirectory(buffer.data(), kChars));
  const std::string arguments = text(link->GetArguments(buffer.data(), kChars));
  int icon = 0;
  const std::string iconFile = text(link->GetIconLocation(buffer.data(), kChars, &icon));
  WORD hotKey = 0;
  link->GetHotkey(&hotKey);
  int show = SW_SHOWNORMAL;
  link->GetShowCmd(&show);
  FProgramFile = path;
  FDescription = description;
  FWorkingDirectory = folder;
  FArguments = arguments;
  FIconFile = iconFile;
  FIconIndex = static_cast<std::uint32_t>(icon);
  FHotKey = ShortCutOf(hotKey);
  if (show == SW_SHOWNORMAL) FWindowState = TShellLinkWindowState::wsNormal;
  else if (show == SW_SHOWMAXIMIZED) FWindowState = TShellLinkWindowState::wsMaximized;
  else if (show == SW_SHOWMINNOACTIVE || show == SW_MINIMIZE) FWindowState = TShellLinkWindowState::wsMinimized;
  return true;
}

}  // namespace tarvo::platform
