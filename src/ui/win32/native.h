// The Win32 backend's own bookkeeping: what each control's window carries beside its handle
// (logical bounds, font, command handlers), the scale from logical to device pixels, the
// font cache and the key handling of the message loop.
#pragma once

#include <functional>
#include <string>

#include "ui/application.h"
#include "ui/controls.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace tarvo::ui::win32 {

using platform::Narrow;
using platform::Widen;

enum class TKind { kPanel, kLabel, kButton, kRadio, kCheck, kEdit, kProgress, kCombo, kForm };

struct TWinState {
  TControl* Control = nullptr;
  TNativeWidget** Slot = nullptr;  // the control's handle, cleared when the window goes first
  TKind Kind = TKind::kPanel;
  RECT Logical{};                  // bounds in 96-dpi pixels, as the window definition gives them
  HFONT Font = nullptr;            // the font in use: the control's own, else its parent's
  bool OwnFont = false;
  std::string Hint;
  bool EtchedTop = false;          // a bar with a separating line along its top edge
  std::function<void(UINT code)> OnCommand;
  std::function<bool(UINT msg, WPARAM, LPARAM, LRESULT&)> OnMessage;  // true: handled
};

// The state of a window made by this backend, or none.
TWinState* StateOf(HWND hwnd) noexcept;

// Makes a child window of the class (parked until SetParent) and registers its state.
HWND CreateControl(TControl* control, TNativeWidget** slot, TKind kind, const wchar_t* windowClass, DWORD style,
                   DWORD exStyle = 0);

// Device pixels for logical ones at the program's DPI.
int Scale(int logical) noexcept;
int Dpi() noexcept;
// The DPI after the window moved to a monitor of another DPI (48 to 960; others are ignored).
void SetDpi(int dpi) noexcept;
// The DPI of the monitor the window is on, where the system tells it; else Dpi().
int WindowDpi(HWND hwnd) noexcept;
// Gives the control the font and the device bounds of the DPI now in use (after SetDpi).
void Rescale(TControl* control);

// The font of that family, character height in logical pixels and weight at the DPI in
// use; the system's dialog font when the family is not installed. Cached for the
// program's life.
HFONT FontFor(const std::string& family, int height, bool bold);

// The window class of forms and containers.
const wchar_t* PanelClass();

// Whether a sibling lying above hwnd in the z-order covers it wholly: then it takes no
// focus and no key.
bool IsCovered(HWND hwnd) noexcept;
// Whether keys may reach the control: shown on screen, enabled, not covered.
bool TakesInput(HWND hwnd) noexcept;

// Keys of the form that holds the message's window: Tab order, Enter, Esc and the '&'
// accelerators. True when the message was a key the form handled.
bool HandleDialogKey(MSG& msg);

// The cursor shown over every window while it is not crDefault.
TCursor ProgramCursor() noexcept;

}  // namespace tarvo::ui::win32
