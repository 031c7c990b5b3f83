// A window: a dialog frame of fixed client size with a caption and a close box, centred on
// the screen when shown. Closing it by its close box or by Close hides it; the message loop
// ends when the last window is closed.
#pragma once

#include <functional>
#include <string>

#include "ui/controls.h"

namespace tarvo::ui {

class TForm : public TControl {
  TARVO_PERSISTENT_CLASS(TForm)
public:
  explicit TForm(TComponent* owner = nullptr);

  std::string Caption() const;
  void SetCaption(const std::string& caption);
  // The size of the area inside the frame; the window cannot be resized.
  void SetClientSize(int width, int height);

  void Show();
  void Close();
  bool Showing() const;
  // Writes a picture of the window's client area as it looks now (PNG); false on failure.
  bool SaveImage(const std::string& path) const;

  // Tab order of each parent's controls by their TabOrder.
  void ApplyTabOrder();
  // Tells every control of the window that the language changed.
  void ToolkitTextsChanged() override;

  // Asked when the user closes the window by its close box; clearing canClose keeps it
  // open. Close() itself is not asked.
  std::function<void(TComponent* sender, bool& canClose)> OnCloseQuery;
};

}  // namespace tarvo::ui
