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

/* ---- The Edit menu's dialogs (EditDialogs.rc) ---- */
/* "Histogram" */
#define IDD_HISTOGRAM 2460
#define IDC_HISTOGRAM_CHANNEL 180
#define IDC_HISTOGRAM_GRAPH 182
#define IDC_HISTOGRAM_GRADIENT 183
#define IDC_HISTOGRAM_STDDEV 184
#define IDC_HISTOGRAM_MEAN 185
#define IDC_HISTOGRAM_MEDIAN 186
#define IDC_HISTOGRAM_PIXELS 187
#define IDC_HISTOGRAM_RANGE 188
#define IDC_HISTOGRAM_PERCENT 189
#define IDC_HISTOGRAM_LOGARITHMIC 190
#define IDC_HISTOGRAM_COLOURS 1040
/* "Scale settings" */
#define IDD_SCALE 2461
#define IDC_SCALE_IMAGE_WIDTH 1034
#define IDC_SCALE_IMAGE_HEIGHT 1035
#define IDC_SCALE_NEW_WIDTH 1036
#define IDC_SCALE_NEW_HEIGHT 1037
#define IDC_SCALE_CONSTRAIN 1038
#define IDC_SCALE_INTERPOLATION 1050
#define IDC_SCALE_RESOLUTION_X 1015
#define IDC_SCALE_RESOLUTION_Y 1014
#define IDC_SCALE_PRINTED_WIDTH 1018
#define IDC_SCALE_PRINTED_HEIGHT 1017
#define IDC_SCALE_UNIT 1016
/* "Rotate the image clockwise" */
#define IDD_ROTATE 2462
#define IDC_ROTATE_INTERPOLATE 1000
#define IDC_ROTATE_DIAL 1001
#define IDC_ROTATE_SLIDER 1013
#define IDC_ROTATE_TEXT 1015
#define IDC_ROTATE_EDIT 1039
#define IDC_ROTATE_0 1034
#define IDC_ROTATE_90 1035
#define IDC_ROTATE_180 1036
#define IDC_ROTATE_360 1037
#define IDC_ROTATE_270 1038
/* "Decrease color depth" */
#define IDD_COLOUR_DEPTH 1501
#define IDC_DEPTH_1 1003
#define IDC_DEPTH_4 1004
#define IDC_DEPTH_8 1005
#define IDC_DEPTH_24 1007
#define IDC_DEPTH_32 1008
#define IDC_DEPTH_DITHERING 1009
#define IDC_DEPTH_GRAYSCALE 1010
/* "Swap channels": destinations 1036 to 1039, sources 1040 to 1043 */
#define IDD_SWAP_CHANNELS 1507
#define IDC_SWAP_DESTINATION_0 1036
#define IDC_SWAP_DESTINATION_1 1037
#define IDC_SWAP_DESTINATION_2 1038
#define IDC_SWAP_DESTINATION_3 1039
#define IDC_SWAP_SOURCE_0 1040
#define IDC_SWAP_SOURCE_1 1041
#define IDC_SWAP_SOURCE_2 1042
#define IDC_SWAP_SOURCE_3 1043
/* ---- end of the Edit menu's dialogs ---- */
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
/* The save dialog's page beside the file list: the option list, progress and text */
#define IDD_SAVE_OPTIONS 2424
#define IDC_SAVE_OPTIONS 1020
#define IDC_SAVE_PROGRESS 1021
#define IDC_SAVE_STATUS 1022
#define IDC_SAVE_OPTIONS_LABEL 1023
/* "Warning": save a changed picture before it is dropped? */
#define IDD_CLOSE_UPDATED 2425
#define IDC_CLOSE_NAME 1024
#define IDC_CLOSE_SAVE_AS 1025
#define IDC_CLOSE_SKIP 1026
#define IDC_CLOSE_ALWAYS_IGNORE 1027

/* ---- The welcome dialog, the About box and the file types (AboutAndFileTypes.rc) ---- */
/* "Welcome to Orbisk !" */
#define IDD_WELCOME 228
#define IDC_WELCOME_ASSOCIATE 1060
/* "Associate File Types" */
#define IDD_ASSOCIATE 2426
#define IDC_ASSOCIATE_LIST 1061
#define IDC_ASSOCIATE_ALL 1062
#define IDC_ASSOCIATE_NONE 1063
/* "About Orbisk" */
#define IDD_ABOUT 2427
#define IDC_ABOUT_VERSION 1064
#define IDC_ABOUT_SUPPORT 1065
#define IDC_ABOUT_MESSAGE 1066
/* Skins: the viewer's context menu, where the skins list is added */
#define IDR_SKIN_MENU 217

/* ---- The Options dialog, its pages and the hot-key dialog (OptionsDialog.rc) ---- */
/* "Options": the tree of pages and the frame the page in front fills */
#define IDD_OPTIONS 1500
#define IDC_OPT_TREE 1100
#define IDC_OPT_FRAME 1101
/* "View" */
#define IDD_OPT_VIEW 1502
#define IDC_OPT_RENDER_FAST 1102
#define IDC_OPT_RENDER_QUALITY 1103
#define IDC_OPT_ALPHA_SOLID 1104
#define IDC_OPT_ALPHA_CHECKED 1105
#define IDC_OPT_ALPHA_SUPPRESS 1106
#define IDC_OPT_BACKGROUND 1107
#define IDC_OPT_SORT_NONE 1108
#define IDC_OPT_SORT_NAME 1109
#define IDC_OPT_SORT_EXTENSION 1110
#define IDC_OPT_SORT_NATURAL 1111
#define IDC_OPT_ZOOM_STEP 1112
#define IDC_OPT_RECURSE 1113
#define IDC_OPT_START_FULLSCREEN 1114
#define IDC_OPT_SCROLLBARS 1115
/* "Slide Show" */
#define IDD_OPT_SLIDESHOW 1503
#define IDC_OPT_TIMEOUT 1116
#define IDC_OPT_HIDE_CURSOR 1117
#define IDC_OPT_RANDOM_ORDER 1118
#define IDC_OPT_SLIDE_FULLSCREEN 1119
/* "Operations" */
#define IDD_OPT_OPERATIONS 1504
#define IDC_OPT_ASK_DELETE 1120
#define IDC_OPT_ASK_BOUND 1121
#define IDC_OPT_RECYCLE 1122
#define IDC_OPT_SAVE_EXIF 1123
#define IDC_OPT_SAVE_IPTC 1124
#define IDC_OPT_ASK_CLOSE_UPDATED 1125
#define IDC_OPT_AUTO_LOAD_LAST 1126
#define IDC_OPT_SINGLE_ESC 1127
#define IDC_OPT_ONE_COPY 1128
#define IDC_OPT_BPS16 1129
/* "Read" */
#define IDD_OPT_READ 1505
#define IDC_OPT_RES_MAXIMUM 1130
#define IDC_OPT_RES_DEFAULT 1131
#define IDC_OPT_RES_CUSTOM 1132
#define IDC_OPT_PROFILE_IGNORE 1133
#define IDC_OPT_PROFILE_USE 1134
#define IDC_OPT_PROFILE_NON_RGB 1135
#define IDC_OPT_NOTIFY_ERROR 1136
#define IDC_OPT_RESAMPLE 1137
#define IDC_OPT_NO_ANIMATION 1138
#define IDC_OPT_ASK_PLUGIN 1139
/* "Photo RAW" */
#define IDD_OPT_RAW 1506
#define IDC_OPT_RAW_FAST 1140
#define IDC_OPT_RAW_QUALITY 1141
#define IDC_OPT_WB_CAMERA 1142
#define IDC_OPT_WB_AUTO 1143
/* "Shortcut": the list, "Default", and "Edit..." for the selected row */
#define IDD_OPT_SHORTCUT 1508
#define IDC_SHORTCUT_LIST 1144
#define IDC_SHORTCUT_DEFAULT 1031
#define IDC_SHORTCUT_EDIT 1145
/* "Press a key(s) to be used as the HOT key" */
#define IDD_HOTKEY 2416
#define IDC_HOTKEY_1 1146
#define IDC_HOTKEY_2 1147
#define IDC_HOTKEY_3 1148
#define IDC_HOTKEY_4 1149
#define IDC_HOTKEY_COMMAND 1150

// Batch scanning.
#define IDD_BATCH_SCAN 2428
#define IDC_BATCH_FOLDER 1070
#define IDC_BATCH_BROWSE 1071
#define IDC_BATCH_PATTERN 1072
#define IDC_BATCH_START 1073
#define IDC_BATCH_MULTIPAGE 1074
#define IDC_BATCH_SKIP 1075
#define IDC_BATCH_FORMAT 1076
#define IDC_BATCH_OPTIONS 1077
#define IDC_BATCH_AUTO_NOTE 1078

#endif
