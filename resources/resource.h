// Resource ids of vexo.rc, shared by the resource script and the program. Plain #defines only,
// so that the resource compiler can read it without <windows.h>.
#ifndef VEXO_RESOURCE_H
#define VEXO_RESOURCE_H

// Icon groups. The program loads each at Sx(16) x Sy(16); the application icon is the shell's.
#define IDI_APP 101
#define IDI_CLOSE 104
#define IDI_SOFT_RESET 108
#define IDI_DISPLAY_OFF 109
#define IDI_POWER_OFF 110
#define IDI_LANDSCAPE_LEFT 111
#define IDI_LANDSCAPE_RIGHT 112
#define IDI_BLUETOOTH_ON 113
#define IDI_SETTINGS 128
#define IDI_BLUETOOTH_OFF 129
#define IDI_WIFI_OFF 130
#define IDI_WIFI_ON 131

// Strings. Menu command ids are another number space that overlaps this one.
#define IDS_CONFIRM_SOFT_RESET 40004
#define IDS_APP_NAME 40005
#define IDS_NOT_RESPONDING 40006
#define IDS_MINIMIZE 40007
#define IDS_CLOSE_BACKGROUND 40008
#define IDS_CLOSE_ALL 40009
#define IDS_DISPLAY_OFF 40010
#define IDS_SOFT_RESET 40011
#define IDS_LANDSCAPE_LEFT 40012
#define IDS_LANDSCAPE_RIGHT 40013
#define IDS_POWER_OFF 40014
#define IDS_SETTINGS 40015
#define IDS_EXIT 40016
#define IDS_DESKTOP 40017
#define IDS_WIFI_ON 40018
#define IDS_WIFI_OFF 40019
#define IDS_BLUETOOTH_ON 40020
#define IDS_BLUETOOTH_OFF 40021

#define IDS_FIRST IDS_CONFIRM_SOFT_RESET
#define IDS_LAST IDS_BLUETOOTH_OFF

#endif
