#include "ui/win32/common_controls.h"

#include <cstdlib>

namespace tarvo::ui::win32 {

namespace {

template <typename T>
void Bind(HMODULE module, const char* name, T& function) {
  // Through void*: a function pointer of one type is not converted to another directly.
  function = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

const TCommonControls& CommonControls() {
  static const TCommonControls controls = [] {
    TCommonControls c;
    HMODULE module = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr) {
      Bind(module, "InitCommonControlsEx", c.InitCommonControlsEx);
      Bind(module, "SetWindowSubclass", c.SetWindowSubclass);
      Bind(module, "RemoveWindowSubclass", c.RemoveWindowSubclass);
      Bind(module, "DefSubclassProc", c.DefSubclassProc);
    }
    if (!c.InitCommonControlsEx || !c.SetWindowSubclass || !c.RemoveWindowSubclass || !c.DefSubclassProc) {
      ::MessageBoxW(nullptr, L"comctl32.dll (version 6) could not be loaded from the system folder.", L"Setup",
                    MB_ICONERROR | MB_OK);
      std::exit(1);
    }
    return c;
  }();
  return controls;
}

}  // namespace tarvo::ui::win32
