#pragma once
// Resource identifiers of the plug-in module.

#define IDD_BURN 103
#define IDB_BURN_BUTTON 105
#define IDB_CANCEL_BUTTON 106
#define IDD_ABOUT 107
#define IDB_BANNER 132
#define IDB_EXIT_BUTTON 133
// The same pictures drawn for larger display scales (125, 150, 200 %); the dialogs pick by size.
#define IDB_BURN_BUTTON_125 1105
#define IDB_BURN_BUTTON_150 2105
#define IDB_BURN_BUTTON_200 3105
#define IDB_CANCEL_BUTTON_125 1106
#define IDB_CANCEL_BUTTON_150 2106
#define IDB_CANCEL_BUTTON_200 3106
#define IDB_EXIT_BUTTON_125 1133
#define IDB_EXIT_BUTTON_150 2133
#define IDB_EXIT_BUTTON_200 3133
#define IDB_BANNER_150 2132
#define IDB_BANNER_200 3132

#define IDC_BURN_BUTTON 1
// The identifier of IDCANCEL, so Escape and the system's close of the dialog come as Exit; the
// plug-in's shutdown sends it too.
#define IDC_EXIT_BUTTON 2
#define IDC_PROGRESS 1009
#define IDC_STATUS 1010
#define IDC_DRIVE_BOX 1013
#define IDC_TYPE_BOX 1014
#define IDC_UNDERRUN 1015
#define IDC_SIMULATE 1016
#define IDC_GAP 1017

#define IDC_ABOUT_LINK 1020
#define IDC_ABOUT_LINE1 1021
#define IDC_ABOUT_LINE2 1022
#define IDC_ABOUT_LINE3 1023
