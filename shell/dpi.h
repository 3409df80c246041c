// The screen's logical DPI and the scaling of lengths designed at 96 DPI.
#ifndef VEXO_SHELL_DPI_H
#define VEXO_SHELL_DPI_H

extern int dpiX;
extern int dpiY;

// Reads both from the screen, once.
void ReadScreenDpi();

inline int Sx(int n) { return (n * dpiX + 48) / 96; }
inline int Sy(int n) { return (n * dpiY + 48) / 96; }

#endif
