// Named ids of the program's resources, shared by zembrix.rc and the code.
// Only #define lines: the file is read by the Windows resource compiler, by
// the build-time .rc reader on Linux and by C++ code.
#pragma once

// The program's icon: the executable's first icon group.
#define IDI_ZEMBRIX 1

// Dialog templates.
#define IDD_RENDERTOFILE 102
#define IDD_ABOUT 104
#define IDD_PROGRESS 106
#define IDD_COORDINATES 107
#define IDD_COLORS 108

// The frame's menu and its accelerator table.
#define IDR_MAINMENU 103
#define IDR_ACCELERATORS 105

// The picture of the About dialog.
#define IDB_ABOUT 109

// The view child of the frame.
#define IDC_FRACTAL_VIEW 1002

// Render To File dialog.
#define IDC_RENDER_BROWSE 1009
#define IDC_RENDER_WIDTH 1017
#define IDC_RENDER_FILENAME 1019
#define IDC_RENDER_OK 1020
#define IDC_RENDER_HEIGHT 1021
#define IDC_RENDER_X1 1022
#define IDC_RENDER_Y1 1023
#define IDC_RENDER_X2 1024
#define IDC_RENDER_Y2 1025
#define IDC_RENDER_ITERATIONS 1026

// Progress window.
#define IDC_PROGRESS_BAR 1028
#define IDC_PROGRESS_LABEL 1029
#define IDC_PROGRESS_PERCENT 1030

// Coordinates window.
#define IDC_COORD_X1 1031
#define IDC_COORD_Y1 1032
#define IDC_COORD_X2 1033
#define IDC_COORD_Y2 1034
#define IDC_COORD_ITERATIONS 1035
#define IDC_COORD_UPDATE 1036

// Colors window: the three swatch buttons.
#define IDC_COLOR_GRADIENT_START 1037
#define IDC_COLOR_GRADIENT_END 1038
#define IDC_COLOR_SET 1039

// Menu commands.
#define IDM_FILE_EXIT 40001
#define IDM_FILE_RENDERTOFILE 40002
#define IDM_FILE_SAVEIMAGE 40003
#define IDM_VIEW_COORDINATES 40006
#define IDM_VIEW_COLORS 40007
#define IDM_VIEW_REFRESH 40008
#define IDM_HELP_ABOUT 40009

// Controls that are never addressed: static labels and pictures.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
