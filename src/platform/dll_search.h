// Where the program's later LoadLibrary calls may look: System32 only. Installers run from a
// downloads folder, where a browser may have saved any DLL; without this the folder of the
// program comes first, for our own calls and for those the system's DLLs make for us
// (comctl32 loading uxtheme, for example). Does nothing on other systems.
#pragma once

namespace tarvo::platform {

// Called first thing in main. SetDefaultDllDirectories is looked up, not imported: Windows 7
// without KB2533623 lacks it, and there the program still starts.
void RestrictDllSearch() noexcept;

}  // namespace tarvo::platform
