// Stand-in for the game client JX3Client.exe in the demo game directory.
#include "stand_in.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return qv::demo::runStandIn(instance, L"JX3Client", L"這是示範用的遊戲主程式替身（JX3Client.exe）。");
}
