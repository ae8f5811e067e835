// Resource identifiers of the program; shared by the resource script and the code.
#pragma once

// The icon has the lowest id: it becomes the program file's icon.
#define IDI_PROGRAM 1
#define IDR_LOGO 101
#define IDB_PROGRESS_FRAME 102
#define IDB_PROGRESS_FILL 103
#define IDB_PROGRESS_FLASH 104
