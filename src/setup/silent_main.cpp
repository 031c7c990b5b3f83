// tarvo-setup-silent: the silent installation alone, without the window.
#include "platform/dll_search.h"
#include "setup/silent.h"

int main(int argc, char** argv) {
  tarvo::platform::RestrictDllSearch();
  return tarvo::setup::RunSilentSetup(argc, argv);
}
