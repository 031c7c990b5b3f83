// The controls on Win32: each is a window of a standard class (or of our container class),
// subclassed once so that its state goes with it. Bounds are kept in logical pixels and
// scaled to the DPI of the program when they reach the window.
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "ui/controls.h"
#include "ui/application.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"
#include "ui/win32/common_controls.h"
#include <commctrl.h>

namespace tarvo::ui {

namespace win32 {

namespace {

std::unordered_map<HWND, TWinState>& States() {
  static std::unordered_map<HWND, TWinState> states;
  return states;
}

HBRUSH WhiteBrush() { return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)); }

// Controls wait here, invisible, until they get their parent.
HWND ParkingWindow() {
  static HWND parking = CreateWindowExW(0, PanelClass(), L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
  return parking;
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  TWinState* state = StateOf(hwnd);
  if (state && state->OnMessage) {
    LRESULT result = 0;
    if (state->OnMessage(msg, wp, lp, result)) return result;
  }
  switch (msg) {
    case WM_SETFOCUS:
      // A control covered by another is not there for the user: focus goes on.
      if (IsCovered(hwnd)) {
        HWND root = GetAncestor(hwnd, GA_ROOT);
        HWND next = GetNextDlgTabItem(root, hwnd, FALSE);
        if (next && next != hwnd && !IsCovered(next)) SetFocus(next);
        return 0;
      }
      break;
    case WM_NCDESTROY:
      if (state) {
        if (state->Slot) *state->Slot = nullptr;
        States().erase(hwnd);
      }
      CommonControls().RemoveWindowSubclass(hwnd, ControlProc, 1);
      break;
    default:
      break;
  }
  return CommonControls().DefSubclassProc(hwnd, msg, wp, lp);
}

// Forms and containers: they pass their children's notifications to the children's own
// handlers, paint white (the bar: in the button face, with its etched line) and show the
// program's cursor.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND: {
      if (lp) {
        TWinState* child = StateOf(reinterpret_cast<HWND>(lp));
        if (child && child->OnCommand) child->OnCommand(HIWORD(wp));
        return 0;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      TWinState* self = StateOf(hwnd);
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      if (self && self->EtchedTop) return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(WhiteBrush());
    }
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      const HDC dc = reinterpret_cast<HDC>(wp);
      TWinState* self = StateOf(hwnd);
      if (self && self->EtchedTop) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
      } else {
        FillRect(dc, &r, WhiteBrush());
      }
      return 1;
    }
    case WM_SETCURSOR:
      if (ProgramCursor() == crHourGlass) {
        ::SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool IsRadio(HWND hwnd) {
  TWinState* s = StateOf(hwnd);
  return s && s->Kind == TKind::kRadio;
}

}  // namespace

TWinState* StateOf(HWND hwnd) noexcept {
  auto& states = States();
  const auto it = states.find(hwnd);
  return it == states.end() ? nullptr : &it->second;
}

const wchar_t* PanelClass() {
  static const wchar_t* name = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PanelProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    wc.lpszClassName = L"TarvoPanel";
    RegisterClassExW(&wc);
    return L"TarvoPanel";
  }();
  return name;
}

namespace {
// The DPI the program draws at: the monitor's once the window is there (per-monitor aware,
// changed by WM_DPICHANGED), the system's before.
int g_dpi = 0;
}  // namespace

int Dpi() noexcept {
  if (g_dpi == 0) {
    const HDC screen = GetDC(nullptr);
    const int d = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    g_dpi = d > 0 ? d : 96;
  }
  return g_dpi;
}

void SetDpi(int dpi) noexcept {
  if (dpi >= 48 && dpi <= 960) g_dpi = dpi;  // what Windows reports spans 96 to 480
}

int WindowDpi(HWND hwnd) noexcept {
  // GetDpiForWindow exists from Windows 10 1607 on; before, the system's DPI is the window's.
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto get = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT d = get && hwnd ? get(hwnd) : 0;
  return d > 0 ? static_cast<int>(d) : Dpi();
}

int Scale(int logical) noexcept { return MulDiv(logical, Dpi(), 96); }

namespace {
int CALLBACK FontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}
}  // namespace

HFONT FontFor(const std::string& family, int height, bool bold) {
  static std::map<std::tuple<std::string, int, bool, int>, HFONT> cache;
  const auto key = std::make_tuple(family, height, bold, Dpi());
  if (const auto it = cache.find(key); it != cache.end()) return it->second;
  LOGFONTW lf{};
  const std::wstring wide = Widen(family);
  wcsncpy(lf.lfFaceName, wide.c_str(), LF_FACESIZE - 1);
  lf.lfCharSet = DEFAULT_CHARSET;
  bool installed = false;
  const HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &lf, FontFound, reinterpret_cast<LPARAM>(&installed), 0);
  ReleaseDC(nullptr, screen);
  if (!installed) {  // the system's dialog font, at the asked size
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) lf = metrics.lfMessageFont;
  }
  lf.lfHeight = -Scale(height);
  lf.lfWidth = 0;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfQuality = CLEARTYPE_QUALITY;
  HFONT font = CreateFontIndirectW(&lf);
  cache.emplace(key, font);
  return font;
}

HWND CreateControl(TControl* control, TNativeWidget** slot, TKind kind, const wchar_t* windowClass, DWORD style,
                   DWORD exStyle) {
  const bool form = kind == TKind::kForm;
  // Children clip their siblings: of two buttons in one place the one in front paints.
  HWND hwnd = CreateWindowExW(exStyle, windowClass, L"", form ? style : (style | WS_CHILD | WS_CLIPSIBLINGS), 0, 0, 0, 0,
                              form ? nullptr : ParkingWindow(), nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return nullptr;
  TWinState& state = States()[hwnd];
  state.Control = control;
  state.Slot = slot;
  state.Kind = kind;
  CommonControls().SetWindowSubclass(hwnd, ControlProc, 1, 0);
  return hwnd;
}

bool IsCovered(HWND hwnd) noexcept {
  RECT mine;
  if (!GetWindowRect(hwnd, &mine) || IsRectEmpty(&mine)) return false;
  // Siblings above this one come before it in the z-order.
  for (HWND above = GetWindow(hwnd, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    if (!(GetWindowLongW(above, GWL_STYLE) & WS_VISIBLE)) continue;
    RECT theirs, both;
    if (GetWindowRect(above, &theirs) && IntersectRect(&both, &mine, &theirs) && EqualRect(&both, &mine)) return true;
  }
  return false;
}

namespace {
// The font a control shows at the DPI in use: its own once changed, else its parent's.
HFONT FontOf(TControl* c) {
  const TWinState* s = StateOf(c->Widget());
  if ((s && s->OwnFont) || !c->Parent()) return FontFor(c->Font()->Name(), c->Font()->Height(), c->Font()->Bold());
  return FontOf(c->Parent());
}
}  // namespace

void Rescale(TControl* control) {
  TWinState* s = StateOf(control->Widget());
  if (!s) return;
  s->Font = FontOf(control);
  SendMessageW(control->Widget(), WM_SETFONT, reinterpret_cast<WPARAM>(s->Font), TRUE);
  if (s->Kind != TKind::kForm) {
    const RECT r = s->Logical;
    control->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
}

bool TakesInput(HWND hwnd) noexcept { return hwnd && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && !IsCovered(hwnd); }

namespace {
// A default push button is drawn as the default only while nothing covers it (Next, until
// Finish is brought over it).
void RefreshDefaultButtons(HWND parent) {
  if (!parent) return;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const TWinState* s = StateOf(child);
    const auto* b = s && s->Kind == TKind::kButton ? dynamic_cast<const TButton*>(s->Control) : nullptr;
    if (!b) continue;
    const bool shows = b->Default() && !IsCovered(child);
    SendMessageW(child, BM_SETSTYLE, shows ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  }
}
}  // namespace

}  // namespace win32

using namespace win32;

// ---- TControl

TControl::TControl(TComponent* owner, TNativeWidget* widget)
    : TComponent(owner), FWidget(widget), FFont(std::make_unique<TFont>()) {
  if (TWinState* s = StateOf(FWidget)) {
    s->Control = this;
    s->Slot = &FWidget;
    s->Font = FontFor(FFont->Name(), FFont->Height(), FFont->Bold());
    SendMessageW(FWidget, WM_SETFONT, reinterpret_cast<WPARAM>(s->Font), FALSE);
  }
  FFont->OnChange = [this] {
    TWinState* s = StateOf(FWidget);
    if (!s) return;
    s->Font = FontFor(FFont->Name(), FFont->Height(), FFont->Bold());
    s->OwnFont = true;
    SendMessageW(FWidget, WM_SETFONT, reinterpret_cast<WPARAM>(s->Font), TRUE);
  };
}

TControl::~TControl() {
  if (HWND hwnd = std::exchange(FWidget, nullptr)) {
    if (TWinState* s = StateOf(hwnd)) s->Slot = nullptr;
    DestroyWindow(hwnd);
  }
}

void TControl::SetParent(TControl* parent) {
  FParent = parent;
  if (!FWidget) return;
  HWND target = parent ? parent->ClientWidget() : nullptr;
  if (!target) return;
  ::SetParent(FWidget, target);
  TWinState* mine = StateOf(FWidget);
  TWinState* theirs = StateOf(target);
  if (mine && theirs && !mine->OwnFont && theirs->Font) {
    mine->Font = theirs->Font;
    SendMessageW(FWidget, WM_SETFONT, reinterpret_cast<WPARAM>(mine->Font), FALSE);
  }
  if (mine) SetBounds(mine->Logical.left, mine->Logical.top, Width(), Height());
  ShowWindow(FWidget, SW_SHOWNA);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  TWinState* s = StateOf(FWidget);
  if (!s) return;
  s->Logical = RECT{left, top, left + width, top + height};
  int h = height;
  if (s->Kind == TKind::kCombo) h = height * 8;  // a drop-down's height includes its list
  SetWindowPos(FWidget, nullptr, Scale(left), Scale(top), Scale(width), Scale(h),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

int TControl::Left() const {
  TWinState* s = StateOf(FWidget);
  return s ? s->Logical.left : 0;
}
int TControl::Top() const {
  TWinState* s = StateOf(FWidget);
  return s ? s->Logical.top : 0;
}
int TControl::Width() const {
  TWinState* s = StateOf(FWidget);
  return s ? s->Logical.right - s->Logical.left : 0;
}
int TControl::Height() const {
  TWinState* s = StateOf(FWidget);
  return s ? s->Logical.bottom - s->Logical.top : 0;
}
// A control counts as visible when it is not hidden itself, whether or not its page shows.
bool TControl::Visible() const { return FWidget && (GetWindowLongW(FWidget, GWL_STYLE) & WS_VISIBLE); }
void TControl::SetVisible(bool visible) {
  if (FWidget) ShowWindow(FWidget, visible ? SW_SHOWNA : SW_HIDE);
}
bool TControl::Enabled() const { return FWidget && IsWindowEnabled(FWidget); }
void TControl::SetEnabled(bool enabled) {
  if (FWidget) EnableWindow(FWidget, enabled);
}
void TControl::BringToFront() {
  if (!FWidget) return;
  SetWindowPos(FWidget, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RefreshDefaultButtons(GetParent(FWidget));
}
void TControl::SetFocus() {
  if (FWidget && TakesInput(FWidget)) ::SetFocus(FWidget);
}
bool TControl::Focused() const { return FWidget && GetFocus() == FWidget; }
void TControl::SendToBack() {
  if (!FWidget) return;
  SetWindowPos(FWidget, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RefreshDefaultButtons(GetParent(FWidget));
}
bool TControl::IsInFrontOf(const TControl& sibling) const {
  if (!FWidget || !sibling.FWidget || GetParent(FWidget) != GetParent(sibling.FWidget)) return false;
  for (HWND below = GetWindow(FWidget, GW_HWNDNEXT); below; below = GetWindow(below, GW_HWNDNEXT))
    if (below == sibling.FWidget) return true;
  return false;
}

// Tool tips are not shown on this backend; the text is kept for the translator.
std::string TControl::Hint() const {
  TWinState* s = StateOf(FWidget);
  return s ? s->Hint : std::string();
}
void TControl::SetHint(const std::string& hint) {
  if (TWinState* s = StateOf(FWidget)) s->Hint = hint;
}

// ---- texts of windows

namespace {

std::string WindowText(HWND hwnd) {
  if (!hwnd) return {};
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<std::size_t>(n));
  return Narrow(text);
}

void SetWindowText(HWND hwnd, const std::string& text) {
  if (hwnd) SetWindowTextW(hwnd, Widen(text).c_str());
}

}  // namespace

// ---- TLabel

TLabel::TLabel(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kLabel, WC_STATICW, SS_LEFT | SS_NOPREFIX | SS_LEFTNOWORDWRAP)) {}
std::string TLabel::Caption() const { return WindowText(Widget()); }
void TLabel::SetCaption(const std::string& caption) { SetWindowText(Widget(), caption); }
bool TLabel::WordWrap() const { return Widget() && !(GetWindowLongW(Widget(), GWL_STYLE) & SS_LEFTNOWORDWRAP); }
void TLabel::SetWordWrap(bool wrap) {
  if (!Widget()) return;
  LONG style = GetWindowLongW(Widget(), GWL_STYLE) & ~(SS_LEFT | SS_LEFTNOWORDWRAP);
  SetWindowLongW(Widget(), GWL_STYLE, style | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP));
  InvalidateRect(Widget(), nullptr, TRUE);
}

// ---- buttons

namespace {

void OnClicked(TControl* c, std::function<void()> handler) {
  if (TWinState* s = StateOf(c->Widget()))
    s->OnCommand = [h = std::move(handler)](UINT code) {
      if (code == BN_CLICKED) h();
    };
}

bool IsChecked(HWND hwnd) { return hwnd && SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

TButton::TButton(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kButton, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP)) {
  OnClicked(this, [this] { CallEvent(OnClick, this); });
}
std::string TButton::Caption() const { return WindowText(Widget()); }
void TButton::SetCaption(const std::string& caption) { SetWindowText(Widget(), caption); }
void TButton::SetDefault(bool isDefault) {
  FDefault = isDefault;
  if (Widget()) RefreshDefaultButtons(GetParent(Widget()));
}
void TButton::Click() {
  if (Widget() && IsWindowEnabled(Widget())) SendMessageW(Widget(), BM_CLICK, 0, 0);
}

TRadioButton::TRadioButton(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kRadio, WC_BUTTONW, BS_RADIOBUTTON | WS_TABSTOP)) {
  OnClicked(this, [this] {
    SetChecked(true);
    CallEvent(OnClick, this);
  });
}
std::string TRadioButton::Caption() const { return WindowText(Widget()); }
void TRadioButton::SetCaption(const std::string& caption) { SetWindowText(Widget(), caption); }
bool TRadioButton::Checked() const { return IsChecked(Widget()); }
void TRadioButton::SetChecked(bool checked) {
  HWND hwnd = Widget();
  if (!hwnd) return;
  // The radio buttons of one parent exclude each other, whoever checks one of them.
  if (checked)
    for (HWND sibling = GetWindow(GetParent(hwnd), GW_CHILD); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT))
      if (sibling != hwnd && IsRadio(sibling)) SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TCheckBox::TCheckBox(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kCheck, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP)) {
  OnClicked(this, [this] { CallEvent(OnClick, this); });
}
std::string TCheckBox::Caption() const { return WindowText(Widget()); }
void TCheckBox::SetCaption(const std::string& caption) { SetWindowText(Widget(), caption); }
bool TCheckBox::Checked() const { return IsChecked(Widget()); }
void TCheckBox::SetChecked(bool checked) {
  if (Widget()) SendMessageW(Widget(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- TEdit

TEdit::TEdit(TComponent* owner)
    : TEdit(owner, CreateControl(this, nullptr, TKind::kEdit, WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE)) {}

TEdit::TEdit(TComponent* owner, TNativeWidget* lineEdit) : TControl(owner, lineEdit) {
  if (TWinState* s = StateOf(Widget()))
    s->OnCommand = [this](UINT code) {
      if (code == EN_CHANGE) CallEvent(OnChange, this);
    };
}
std::string TEdit::Text() const { return WindowText(Widget()); }
void TEdit::SetText(const std::string& text) { SetWindowText(Widget(), text); }

// ---- TProgressBar

TProgressBar::TProgressBar(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kProgress, PROGRESS_CLASSW, 0)) {
  SetRange(0, 100);
}
int TProgressBar::Min() const { return Widget() ? static_cast<int>(SendMessageW(Widget(), PBM_GETRANGE, TRUE, 0)) : 0; }
int TProgressBar::Max() const { return Widget() ? static_cast<int>(SendMessageW(Widget(), PBM_GETRANGE, FALSE, 0)) : 0; }
void TProgressBar::SetRange(int min, int max) {
  if (Widget()) SendMessageW(Widget(), PBM_SETRANGE32, static_cast<WPARAM>(min), static_cast<LPARAM>(max));
}
int TProgressBar::Position() const { return Widget() ? static_cast<int>(SendMessageW(Widget(), PBM_GETPOS, 0, 0)) : 0; }
void TProgressBar::SetPosition(int position) {
  if (Widget()) SendMessageW(Widget(), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// ---- TImage, TSpeedBar, pages

namespace {
HWND NewPanel(TControl* c, bool etched = false) {
  HWND hwnd = CreateControl(c, nullptr, TKind::kPanel, PanelClass(), WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
  if (TWinState* s = StateOf(hwnd)) s->EtchedTop = etched;
  return hwnd;
}
}  // namespace

TImage::TImage(TComponent* owner) : TControl(owner, NewPanel(this)) {}
TSpeedBar::TSpeedBar(TComponent* owner) : TControl(owner, NewPanel(this, true)) {}
TPage::TPage(TComponent* owner) : TControl(owner, NewPanel(this)) {}

// ---- TNotebook

TNotebook::TNotebook(TComponent* owner) : TControl(owner, NewPanel(this)), FPages(std::make_unique<core::TStringList>()) {}

TPage* TNotebook::AddPage(const std::string& name) {
  auto* page = new TPage(this);
  FPages->Add(name);
  FPageControls.push_back(page);
  page->SetParent(this);
  page->SetBounds(0, 0, Width(), Height());
  page->SetVisible(FPageControls.size() == 1);  // the first page shows until another is chosen
  return page;
}

TPage* TNotebook::Page(int index) const {
  return index >= 0 && index < PageCount() ? FPageControls[static_cast<std::size_t>(index)] : nullptr;
}
int TNotebook::PageCount() const noexcept { return static_cast<int>(FPageControls.size()); }
int TNotebook::PageIndex() const noexcept {
  for (std::size_t i = 0; i < FPageControls.size(); ++i)
    if (FPageControls[i]->Visible()) return static_cast<int>(i);
  return -1;
}
void TNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= PageCount() || index == PageIndex() || !Widget()) return;
  // The focus leaves the page that goes, so no hidden control keeps the keys.
  HWND focus = GetFocus();
  bool focusOnPage = false;
  for (std::size_t i = 0; i < FPageControls.size(); ++i) {
    HWND page = FPageControls[i]->Widget();
    if (focus && page && IsChild(page, focus)) focusOnPage = true;
    if (static_cast<int>(i) != index) FPageControls[i]->SetVisible(false);
  }
  FPageControls[static_cast<std::size_t>(index)]->SetBounds(0, 0, Width(), Height());
  FPageControls[static_cast<std::size_t>(index)]->SetVisible(true);
  if (focusOnPage) {
    HWND root = GetAncestor(Widget(), GA_ROOT);
    if (HWND next = GetNextDlgTabItem(root, nullptr, FALSE)) ::SetFocus(next);
  }
}

}  // namespace tarvo::ui
