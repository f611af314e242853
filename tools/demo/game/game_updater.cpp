// Stand-in for the game launcher gameupdater.exe in the demo game directory.
#include "stand_in.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return qv::demo::runStandIn(instance, L"gameupdater", L"這是示範用的遊戲啟動器替身（gameupdater.exe）。");
}
