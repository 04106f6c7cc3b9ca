#include <windows.h>

// Holds Lantra's resources for the resource check and does nothing when run.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return 0;
}
