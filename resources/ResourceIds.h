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

/* The filter browser (FilterBrowser.rc): its frame, and the settings dialogs it hosts.
   The settings dialogs' control ids are the ones src/viewer/EffectParams.h names. */
#define IDD_FILTER_BROWSER 25009
#define IDC_FB_APPLY 1000
#define IDC_FB_FILTERS 1001
#define IDC_FB_SETTINGS 1002
#define IDC_FB_PREVIEW 1003
#define IDC_FB_ZOOM_IN 1004
#define IDC_FB_ZOOM_OUT 1005
#define IDC_FB_ZOOM_TEXT 1006
#define IDD_FX_SIMPLE_SLIDER 25001
#define IDD_FX_COLOR_BALANCE 25003
#define IDD_FX_AUTO_ADJUSTMENT 25006
#define IDD_FX_BLUR 25005
#define IDD_FX_SHARPEN 2504
#define IDD_FX_SMOOTHING 2508
#define IDD_FX_GRAYSCALE 25000
#define IDD_FX_MISCELLANEOUS 25007
#define IDD_FX_CUSTOM 25002

#endif
