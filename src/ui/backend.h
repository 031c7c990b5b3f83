// What the toolkit-neutral part asks of the backend the build chose. Not for the wizard:
// it goes through the components and dialogs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/dialogs.h"

namespace tarvo::ui::backend {

// Starts the toolkit for TApplication (unless the process runs it already).
TApplication::TToolkit* StartToolkit(int& argc, char** argv);
// Shows the main form's message loop until the last window closed; the exit status.
int RunMessageLoop();
// Handles the messages waiting now, once.
void ProcessMessages();
// Shows cursor over every window of the program instead of previous (crDefault: each
// window's own).
void ShowCursor(TCursor previous, TCursor cursor);

// The modal result a dialog button answers (mrYes for mbYes, ...).
int ModalResultOf(TMsgDlgBtn button) noexcept;

// Shows the message dialog modally; buttons[i] is shown as request.Buttons[i], and
// buttons[request.Default] is the default. Answers the modal result of the button chosen, mrCancel when the
// dialog was closed otherwise.
int ShowDialog(const TDialogRequest& request, const std::vector<TMsgDlgBtn>& buttons);

// The system's folder dialog opened at start; the chosen folder, or none.
std::optional<std::string> ShowFolderDialog(const std::string& start);

}  // namespace tarvo::ui::backend
