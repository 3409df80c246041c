// The driver's record of the GDI calls a simulated program makes, to compare with what a test
// expects ("the dot is Ellipse(0, 7, 8, 15)", "painting made 23 calls").
//
// Each call is recorded with its name, the DC it was made on (if it takes one) and its other
// arguments in order, as numbers: handles by value, a RECT* as its four fields, a POINT array
// as x0, y0, x1, y1, ... Text goes in `text`. A few shapes to know:
//   CreatePen {style, width, color}            CreateSolidBrush {color}
//   CreateFontIndirectW {lfHeight, lfWeight}, text = face name
//   SelectObject {object}    DeleteObject {object}    GetStockObject {index}
//   Rectangle / Ellipse {left, top, right, bottom}    Polyline {x0, y0, x1, y1, ...}
//   FillRect {left, top, right, bottom, brush}        SetPixel {x, y, color}
//   BitBlt {x, y, width, height, source DC, sourceX, sourceY, rop}
//   DrawTextW {count, left, top, right, bottom, format}, text = the string as passed
//   ExtTextOutW {x, y, options, count[, left, top, right, bottom]}
//   DrawIconEx {x, y, icon, width, height, step, brush, flags}
//   GetDC / BeginPaint / EndPaint / ReleaseDC {window}, with the DC in `dc`
//   CreateCompatibleDC {}, the DC passed in `dc` and the new one as the result
// The user32 rectangle helpers and GetSysColor are not GDI and are not recorded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cesim {

struct GdiCall {
    std::string name;
    std::vector<int64_t> args;
    std::u16string text;
    HDC dc = nullptr;
    int64_t result = 0; // handles by value; COLORREF, BOOL and int results as they are
    DWORD processId = 0;
    DWORD threadId = 0;
};

// Handles as they appear among the arguments.
inline int64_t GdiArg(const void* handle) {
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(handle));
}

// Starts recording the calls of every thread of one process, or of one thread; either forgets
// what was recorded before. Only one recording runs at a time.
void StartGdiTraceOfProcess(DWORD processId);
void StartGdiTraceOfThread(DWORD threadId);
// Stops recording; what was recorded stays readable.
void StopGdiTrace();
void ClearGdiTrace();
std::vector<GdiCall> GdiTrace();
// The GDI calls a process has made since boot, whether a recording ran or not.
size_t GdiCallCount(DWORD processId);

// "Ellipse(0, 7, 8, 15)", text in quotes, numbers from 0x1000000 up (handles) in hexadecimal;
// for failure messages.
std::string Describe(const GdiCall& call);
std::string Describe(const std::vector<GdiCall>& calls);

} // namespace cesim
