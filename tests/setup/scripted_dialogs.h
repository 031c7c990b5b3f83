// Answers the window's modal dialogs from a script, so no test waits on a real box: each
// dialog shown is recorded, and takes the next scripted answer (a dialog nobody scripted
// fails the test and is cancelled).
#pragma once

#include <deque>
#include <vector>

#include <gtest/gtest.h>

#include "ui/dialogs.h"

namespace tarvo::setup::testing {

class TScriptedDialogs {
protected:
  void InstallDialogs() {
    FPreviousHook = ui::SetDialogHook([this](const ui::TDialogRequest& r) {
      shown.push_back(r);
      if (answers.empty()) {
        ADD_FAILURE() << "unexpected dialog: " << r.Text;
        return ui::mrCancel;
      }
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    });
    FInstalled = true;
  }
  void RestoreDialogs() {
    if (FInstalled) ui::SetDialogHook(FPreviousHook);
    FInstalled = false;
  }

  std::deque<int> answers;
  std::vector<ui::TDialogRequest> shown;

private:
  ui::TDialogHook FPreviousHook;
  bool FInstalled = false;
};

}  // namespace tarvo::setup::testing
