// The widget type of the backend the build chose, named without any of its headers: a Qt
// widget on Linux, a window handle on Windows. Only the backends and tests that drive
// their toolkit look inside it.
#pragma once

#if defined(_WIN32)
struct HWND__;
namespace tarvo::ui {
using TNativeWidget = HWND__;
}
#else
class QWidget;
namespace tarvo::ui {
using TNativeWidget = QWidget;
}
#endif
