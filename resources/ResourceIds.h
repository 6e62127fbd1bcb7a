/* Resource identifiers of the library and the standalone host; read by windres and
   by C++ alike, so only plain #defines here. */
#ifndef ORBISK_RESOURCE_IDS_H
#define ORBISK_RESOURCE_IDS_H

#define IDI_ORBISK 128
#define IDR_MAIN_MENU 230
#define IDR_ACCELERATORS 1223
#define IDB_CORNER_BOX 2417
#define IDC_HAND_OPEN 2418
/* "Go To Page" (a dialog: its own resource type, so the number may repeat) */
#define IDD_GOTO_PAGE 2418
#define IDC_GOTO_PAGE 1000
#define IDC_GOTO_COUNT 1001
/* "Select Image Resolution" */
#define IDD_SELECT_RESOLUTION 2415
#define IDC_RESOLUTION_LIST 1044
/* The preview under the open dialog */
#define IDD_OPEN_PREVIEW 2422
#define IDC_PREVIEW_PICTURE 1010
#define IDC_PREVIEW_TEXT 1011
/* "Select RAW file options" */
#define IDD_RAW_OPTIONS 2423
#define IDC_RAW_FILE 1002
#define IDC_RAW_SIZE 1003
#define IDC_RAW_WIDTH 1004
#define IDC_RAW_HEIGHT 1005
#define IDC_RAW_CHANNELS 1006
#define IDC_RAW_MAC 1008
#define IDC_RAW_IBM_PC 1009
#define IDC_RAW_HEADER 1010
#define IDC_RAW_INTERLEAVED 1013
#define IDC_RAW_SHOW_PREVIEW 1034
#define IDC_RAW_PROGRESS 1035
#define IDC_RAW_PREVIEW 1037
#define IDC_RAW_ORDER1 1042
#define IDC_RAW_ORDER2 1043
#define IDC_RAW_ORDER3 1044
#define IDC_RAW_ORDER4 1045
#define IDC_RAW_REFRESH 1046
#define IDC_RAW_LINE_GAP 1048
#define IDC_RAW_CHANNELS_SPIN 1049
#define IDC_RAW_COLORSPACE 1050
#define IDC_RAW_8BIT 1051
#define IDC_RAW_16BIT 1052
#define IDC_RAW_FILL_ALPHA 1053
#define IDC_HAND_GRAB 2419
#define IDR_ERROR_PICTURE 2420
#define IDB_TOOLBAR 2421

#endif
