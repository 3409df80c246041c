// Drawing and text calls of the device's GDI (objects and DCs are declared in windows.h).
#ifndef CESIM_GDI_H
#define CESIM_GDI_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif

#endif
