// The window on Win32: a dialog frame of fixed client size, the close box asking the form,
// the keys of a dialog (Tab order, Enter, Esc, '&' accelerators) and the window's picture.
#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <map>
#include <vector>

#include "ui/form.h"
#include "core/crc32.h"
#include "ui/application.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"

namespace tarvo::ui {

using namespace win32;

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

template <class F>
void ForEachControl(TComponent* root, F f) {
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponent* c = root->Components(i);
    if (auto* control = dynamic_cast<TControl*>(c)) f(control);
    ForEachControl(c, f);
  }
}

// The tab order of each form: its controls depth first, each parent's children by TabOrder.
std::map<HWND, std::vector<HWND>>& TabOrders() {
  static std::map<HWND, std::vector<HWND>> orders;
  return orders;
}

bool Focusable(HWND hwnd) {
  const TWinState* s = StateOf(hwnd);
  if (!s) return false;
  switch (s->Kind) {
    case TKind::kButton:
    case TKind::kRadio:
    case TKind::kCheck:
    case TKind::kEdit:
    case TKind::kCombo: return true;
    default: return false;
  }
}

TForm* FormOf(HWND hwnd) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  TWinState* s = StateOf(root);
  return s && s->Kind == TKind::kForm ? static_cast<TForm*>(s->Control) : nullptr;
}

void Click(HWND hwnd) {
  const TWinState* s = StateOf(hwnd);
  if (!s || !TakesInput(hwnd)) return;
  if (s->Kind == TKind::kRadio || s->Kind == TKind::kCheck) SetFocus(hwnd);
  SendMessageW(hwnd, BM_CLICK, 0, 0);
}

// The button Enter (or Esc) stands for: the first of the form's default (cancel) buttons
// that takes input now.
HWND KeyButton(TForm* form, bool cancel) {
  HWND found = nullptr;
  ForEachControl(form, [&](TControl* c) {
    auto* b = dynamic_cast<TButton*>(c);
    if (found || !b || !(cancel ? b->Cancel() : b->Default()) || !TakesInput(b->Widget())) return;
    found = b->Widget();
  });
  return found;
}

bool MatchesAccelerator(const std::string& caption, wchar_t key) {
  const std::wstring text = Widen(caption);
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] == L'&') {
      ++i;
      continue;
    }
    return std::towupper(text[i + 1]) == std::towupper(key);
  }
  return false;
}

std::string CaptionOf(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n));
  return Narrow(text);
}

bool TabKey(HWND root, bool backwards) {
  auto it = TabOrders().find(root);
  if (it == TabOrders().end() || it->second.empty()) return false;
  const std::vector<HWND>& order = it->second;
  const HWND focus = GetFocus();
  std::ptrdiff_t at = -1;
  for (std::size_t i = 0; i < order.size(); ++i)
    if (order[i] == focus || (focus && IsChild(order[i], focus))) at = static_cast<std::ptrdiff_t>(i);
  const auto n = static_cast<std::ptrdiff_t>(order.size());
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    const std::ptrdiff_t i = ((at < 0 ? (backwards ? 0 : -1) : at) + (backwards ? -step : step) % n + n) % n;
    HWND next = order[static_cast<std::size_t>(i)];
    if (TakesInput(next)) {
      SetFocus(next);
      if (StateOf(next)->Kind == TKind::kEdit) SendMessageW(next, EM_SETSEL, 0, -1);
      return true;
    }
  }
  return true;
}

BOOL CALLBACK ShownForm(HWND h, LPARAM found) {
  const TWinState* s = StateOf(h);
  if (s && s->Kind == TKind::kForm && IsWindowVisible(h)) *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

}  // namespace

bool win32::HandleDialogKey(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSCHAR && msg.message != WM_CHAR) return false;
  TForm* form = FormOf(msg.hwnd);
  if (!form || !form->Widget()) return false;
  HWND root = form->Widget();
  const TWinState* focused = StateOf(GetFocus());
  const bool inEdit = focused && focused->Kind == TKind::kEdit;
  if (msg.message == WM_KEYDOWN) {
    const bool dropped = focused && focused->Kind == TKind::kCombo && SendMessageW(GetFocus(), CB_GETDROPPEDSTATE, 0, 0);
    switch (msg.wParam) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0) return false;
        return TabKey(root, GetKeyState(VK_SHIFT) < 0);
      case VK_RETURN:
        if (dropped) return false;
        if (focused && focused->Kind == TKind::kButton && TakesInput(GetFocus())) {
          Click(GetFocus());  // a focused push button is the default one
          return true;
        }
        if (HWND b = KeyButton(form, false)) Click(b);
        return true;
      case VK_ESCAPE:
        if (dropped) return false;
        if (HWND b = KeyButton(form, true)) Click(b);
        return true;
      default:
        return false;
    }
  }
  // WM_CHAR of Enter / Esc / Tab were taken as keys above.
  if (msg.message == WM_CHAR && (msg.wParam == L'\r' || msg.wParam == 27 || msg.wParam == L'\t')) return true;
  // Alt+letter anywhere; the letter alone where it types nothing.
  if (msg.message == WM_CHAR && inEdit) return false;
  HWND target = nullptr;
  ForEachControl(form, [&](TControl* c) {
    HWND h = c->Widget();
    const TWinState* s = StateOf(h);
    if (target || !s || (s->Kind != TKind::kButton && s->Kind != TKind::kRadio && s->Kind != TKind::kCheck)) return;
    if (TakesInput(h) && MatchesAccelerator(CaptionOf(h), static_cast<wchar_t>(msg.wParam))) target = h;
  });
  if (!target) return false;
  Click(target);
  return true;
}

TForm::TForm(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kForm, PanelClass(), kFormStyle, kFormExStyle)) {
  TWinState* s = StateOf(Widget());
  if (!s) return;
  s->OnMessage = [this](UINT msg, WPARAM, LPARAM, LRESULT& result) {
    switch (msg) {
      case WM_CLOSE: {
        bool canClose = true;
        if (OnCloseQuery) {
          try {
            OnCloseQuery(this, canClose);
          } catch (const std::exception& e) {
            HandleException(e);
            canClose = false;
          }
        }
        if (canClose) Close();
        result = 0;
        return true;
      }
      case WM_DESTROY:
        TabOrders().erase(Widget());
        return false;
      default:
        return false;
    }
  };
}

std::string TForm::Caption() const { return Widget() ? CaptionOf(Widget()) : std::string(); }
void TForm::SetCaption(const std::string& caption) {
  if (Widget()) SetWindowTextW(Widget(), Widen(caption).c_str());
}

void TForm::SetClientSize(int width, int height) {
  TWinState* s = StateOf(Widget());
  if (!s) return;
  s->Logical = RECT{0, 0, width, height};
  RECT frame{0, 0, Scale(width), Scale(height)};
  AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
  SetWindowPos(Widget(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::Show() {
  HWND w = Widget();
  if (!w) return;
  RECT frame, area;
  GetWindowRect(w, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(w, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ApplyTabOrder();
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  const std::vector<HWND>& order = TabOrders()[w];
  for (HWND h : order)
    if (TakesInput(h)) {
      ::SetFocus(h);
      break;
    }
}

void TForm::Close() {
  HWND w = Widget();
  if (!w || !IsWindowVisible(w)) return;
  ShowWindow(w, SW_HIDE);
  // The message loop ends when the last window of the program is closed.
  bool another = false;
  EnumThreadWindows(GetCurrentThreadId(), ShownForm, reinterpret_cast<LPARAM>(&another));
  if (!another) PostQuitMessage(0);
}

bool TForm::Showing() const { return Widget() && IsWindowVisible(Widget()); }

void TForm::ApplyTabOrder() {
  std::map<const TControl*, std::vector<TControl*>> byParent;
  ForEachControl(this, [&](TControl* c) { byParent[c->Parent()].push_back(c); });
  for (auto& [parent, controls] : byParent)
    std::stable_sort(controls.begin(), controls.end(),
                     [](const TControl* a, const TControl* b) { return a->TabOrder() < b->TabOrder(); });
  std::vector<HWND> order;
  auto walk = [&](auto&& self, const TControl* parent) -> void {
    for (TControl* c : byParent[parent]) {
      if (Focusable(c->Widget())) order.push_back(c->Widget());
      self(self, c);
    }
  };
  walk(walk, this);
  if (Widget()) TabOrders()[Widget()] = std::move(order);
}

void TForm::ToolkitTextsChanged() {
  ForEachControl(this, [](TControl* c) { c->ToolkitTextsChanged(); });
}

// ---- the picture of the window

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  Put32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  Put32(png, core::ComputeCRC32(0, png.data() + start, png.size() - start));
}

// A PNG of 8-bit RGB rows; the image data is a zlib stream of stored blocks: a picture of a
// dialog is small, and storing needs no encoder.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  Put32(header, static_cast<std::uint32_t>(width));
  Put32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // depth 8, colour type RGB, deflate, no filter, no interlace
  Chunk(png, "IHDR", header);
  std::vector<std::uint8_t> z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : rows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < rows.size() || at == 0;) {
    const std::size_t n = std::min<std::size_t>(65535, rows.size() - at);
    const bool last = at + n == rows.size();
    z.push_back(last ? 1 : 0);  // BFINAL, BTYPE stored
    z.push_back(static_cast<std::uint8_t>(n));
    z.push_back(static_cast<std::uint8_t>(n >> 8));
    z.push_back(static_cast<std::uint8_t>(~n));
    z.push_back(static_cast<std::uint8_t>(~n >> 8));
    z.insert(z.end(), rows.begin() + static_cast<std::ptrdiff_t>(at), rows.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
    if (last) break;
  }
  Put32(z, (b << 16) | a);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace

bool TForm::SaveImage(const std::string& path) const {
  HWND w = Widget();
  if (!w || !IsWindowVisible(w)) return false;
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT client;
  GetClientRect(w, &client);
  const int width = client.right, height = client.bottom;
  if (width <= 0 || height <= 0) return false;
  const HDC source = GetDC(w);
  const HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bitmap) {
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * 3 + 1));
    const auto* px = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
      rows.push_back(0);  // filter: none
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = px + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
        rows.insert(rows.end(), {p[2], p[1], p[0]});
      }
    }
    const std::vector<std::uint8_t> png = EncodePng(width, height, rows);
    if (FILE* f = _wfopen(Widen(path).c_str(), L"wb")) {
      ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
      ok = std::fclose(f) == 0 && ok;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(w, source);
  return ok;
}

}  // namespace tarvo::ui
