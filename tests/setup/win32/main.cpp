// The Win32 wizard suite: the application object (and with it COM) for the test thread.
#include <gtest/gtest.h>

#include "ui/application.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  tarvo::ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  return RUN_ALL_TESTS();
}
