// tarvo-setup-silent: the silent installation alone, without the window.
#include "setup/silent.h"

int main(int argc, char** argv) { return tarvo::setup::RunSilentSetup(argc, argv); }
