// Resource and command IDs of the player, shared by the resource script and the code.
#pragma once

#define IDI_PROGRAM 1000
#define IDB_TOOLBAR 300
#define IDB_SOUND 1010
#define IDB_MUTE 1011

// Tool bar buttons.
#define IDC_PLAY_PAUSE 302
#define IDC_STOP 304
#define IDC_PREV_FILE 310
#define IDC_NEXT_FILE 311
#define IDC_RANDOM_FILE 312
#define IDC_TOOL_PLAYLIST 313
#define IDC_TOOL_COMMENT_LIST 314
#define IDC_TOOL_VIDEO_INFO 315
#define IDC_TOOL_COMMENT_POST 316

// Controls of the main window.
#define IDC_STATUS_BAR 1
#define IDC_MUTE_BUTTON 100
#define IDC_TOOL_BAR 301
#define IDC_SEEK_BAR 901
#define IDC_VOLUME_BAR 902

// NG filter menu items, built from the filter files.
#define IDM_FILTER_FIRST 600
#define IDM_FILTER_LAST 699

// File menu.
#define IDM_PLAYLIST_LOADED 8000
#define IDM_OPEN_FILE 8100
#define IDM_CLOSE_FILE 8101
#define IDM_RECENT_FIRST 8110
#define IDM_RECENT_LAST 8129
#define IDM_RECENT_CLEAR 8130
#define IDM_EXIT 8199

// Play menu.
#define IDM_PREV_FILE 8310
#define IDM_NEXT_FILE 8311
#define IDM_SEEK_BACK 8320
#define IDM_SEEK_FORWARD 8321

// View menu: the tool windows, each also the command its window posts when closed.
#define IDM_VIEW_PLAYLIST 8800
#define IDM_VIEW_DOWNLOAD 8810
#define IDM_VIEW_VIDEO_INFO 8820
#define IDM_BUILD_VIDEO_INFO 8821
#define IDM_VIEW_COMMENT_LIST 8830
#define IDM_VIEW_COMMENT_POST 8840
#define IDM_VIEW_INFORMATION 8860
#define IDM_VIEW_COMMENT 8870
#define IDM_FULL_SCREEN 8875
#define IDM_WINDOW_TOPMOST 8880

// Filter and settings menus.
#define IDM_ENABLE_FILTER 8890
#define IDM_RELOAD_FILTER 8891
#define IDM_GET_VIDEO_FILTER 8892
#define IDM_CHECK_MULTI_BOOT 8902
#define IDM_OFFLINE_MODE 8903

// Help menu.
#define IDM_ABOUT 8990

// Video pop-up menu on a selected comment.
#define IDM_SELECTED_NG_ID 8950
#define IDM_SELECTED_NG_WORD 8951
#define IDM_SELECTED_NG_COMMAND 8952
#define IDM_SELECTED_COPY 8953
