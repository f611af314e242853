#pragma once
// Resource numbers shared by quorvane.rc and the code that loads the resources.

// The program's icon: the first icon the shell shows for the file, also the windows' and the tray's.
#define QV_RESOURCE_PROGRAM_ICON 1
// The start-game button's picture.
#define QV_RESOURCE_START_GAME_PICTURE 2
