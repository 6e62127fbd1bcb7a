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
#define IDC_HAND_GRAB 2419
#define IDR_ERROR_PICTURE 2420
#define IDB_TOOLBAR 2421

/* The save dialog's page beside the file list: the option list, progress and text */
#define IDD_SAVE_OPTIONS 2423
#define IDC_SAVE_OPTIONS 1020
#define IDC_SAVE_PROGRESS 1021
#define IDC_SAVE_STATUS 1022
#define IDC_SAVE_OPTIONS_LABEL 1023

#endif
