// Resource and command IDs of the comment list window, shared by its resource script and its code.
#pragma once

#define IDR_COMMENTLIST_MENU 60100
#define IDR_COMMENTLIST_POPUP 60200
#define IDR_COMMENTLIST_ACCEL 60300

#define IDC_COMMENTLIST_LIST 1
#define IDC_COMMENTLIST_STATUS 1

// File menu.
#define IDM_CL_OPEN 10100
#define IDM_CL_CLEAR 10400
#define IDM_CL_CLOSE 10900

// Item menu (also the context menu).
#define IDM_CL_SEEK 11000
#define IDM_CL_COPY_COMMENT 11100
#define IDM_CL_COPY_ID 11110
#define IDM_CL_COPY_COMMAND 11120
#define IDM_CL_NG_ID 11200
#define IDM_CL_NG_WORD 11210
#define IDM_CL_NG_COMMAND 11220
#define IDM_CL_SELECT_SAME_ID 11300
#define IDM_CL_GROUP_BY_ID 11310
#define IDM_CL_SELECT_ALL 11800
#define IDM_CL_SORT_SELECTED 11810

// Search menu.
#define IDM_CL_FIND 12000
#define IDM_CL_FIND_UP 12100
#define IDM_CL_FIND_DOWN 12200

// Settings menu.
#define IDM_CL_AUTO_SCROLL 13000
#define IDM_CL_VIEW_LAST_LINE 13010
