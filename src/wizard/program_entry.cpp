// Start-up of the installer program. Grows into the wizard's entry as the layers below arrive.
#include <cstdio>

int skyrill_main(int, char**) {
  std::puts("Skyrill Web Updater");
  return 0;
}
