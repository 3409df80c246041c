// Property sheets: the messages a sheet answers and the buttons it can be asked to press.
#ifndef CESIM_PRSHT_H
#define CESIM_PRSHT_H

#include <windows.h>

#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)

#define PSBTN_BACK 0
#define PSBTN_NEXT 1
#define PSBTN_FINISH 2
#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5
#define PSBTN_HELP 6

#endif
