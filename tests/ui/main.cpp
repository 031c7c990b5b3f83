// The toolkit runs without a display; no test ever shows a real dialog.
#include <cstdlib>

#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  tarvo::ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  return RUN_ALL_TESTS();
}
