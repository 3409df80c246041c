// The common controls the program uses: image lists, as the shell hands them out.
#ifndef CESIM_COMMCTRL_H
#define CESIM_COMMCTRL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

struct _IMAGELIST;
typedef struct _IMAGELIST* HIMAGELIST;

#define CLR_NONE 0xFFFFFFFFL
#define CLR_DEFAULT 0xFF000000L

#define ILD_NORMAL 0x0000
#define ILD_TRANSPARENT 0x0001
#define ILD_MASK 0x0010

// Draws image i at (x, y); dx and dy cut it to that many pixels from its top left corner (0:
// the whole image). Where the image is transparent, background CLR_NONE leaves what is there
// and a colour fills it, unless the style is ILD_TRANSPARENT. ILD_MASK draws the mask alone.
BOOL ImageList_DrawEx(HIMAGELIST list, int i, HDC dc, int x, int y, int dx, int dy,
                      COLORREF background, COLORREF foreground, UINT style);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
int ImageList_GetImageCount(HIMAGELIST list);

#ifdef __cplusplus
}
#endif

#endif
