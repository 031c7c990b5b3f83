// The Win32 backend's suite: the application object (COM, the common controls) for the test thread.
#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarvo::ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  return RUN_ALL_TESTS();
}
