// The stylus on the simulated touch screen: driver calls that read like a user's hand, and the
// input rules of the device's window manager that they exercise.
//
// Coordinates are screen pixels. Every call settles the device before it returns, so the
// program under test has handled what the stylus did by then; the calls that take a duration
// move the virtual clock, and the program's timers fire on the way.
//
// How input reaches windows, as on the device:
//  - The target of each stylus event is the window that holds the capture (any window of any
//    process may take it with SetCapture) or else the window under the stylus: the topmost
//    visible top-level window that contains the point, then down through its visible children,
//    topmost first. A disabled child passes the event to its parent; a disabled top-level
//    window swallows it. The target is fixed when the event happens, not when it is read.
//  - A press also brings the tapped program to the front: the top-level window it lies in
//    becomes the foreground window, unless that window is topmost, a tool window or one that
//    does not activate (the shell's taskbar is topmost: tapping it changes nothing).
//  - The event is queued to the target's thread as WM_LBUTTONDOWN, WM_MOUSEMOVE or
//    WM_LBUTTONUP, lParam the target's client coordinates (signed, so a capture window sees
//    negative ones), wParam MK_LBUTTON while the stylus is down (0 with WM_LBUTTONUP, which
//    reports the state after the release). MSG.pt is the stylus position in screen
//    coordinates, MSG.time the virtual time of the event.
//  - Input is queued apart from posted messages: a thread reads posted messages first, then
//    the quit request, then input, then paint, then timers. A move that finds the previous move
//    to the same window still unread replaces it, as the device coalesces them.
//  - Every message a thread posts carries the stylus position of the moment it was posted in
//    MSG.pt; messages the queue makes up (paint, timers, quit) carry the position when read.
//    GetMessagePos and GetMessageTime answer for the last message the thread read.
//  - SetCapture sends WM_CAPTURECHANGED to the window losing the capture (the same window
//    too, when it captures again), with the new holder in lParam; ReleaseCapture sends it with
//    lParam 0. Only windows of the calling thread may take or release the capture, and
//    GetCapture names the holder only to that thread. A window that is destroyed loses the
//    capture without the message. Default processing of WM_CANCELMODE releases the capture
//    when the window holds it.

#pragma once

#include <windows.h>

namespace cesim {

// How long a tap lasts unless the driver says otherwise: shorter than any hold.
const DWORD kTapMs = 50;
// How often a drag reports the stylus on its way.
const DWORD kDragStepMs = 10;

// Puts the stylus down at (x, y). Does nothing while it is already down.
void StylusDown(int x, int y);
// Moves the stylus, down or not; only a move while it is down is reported.
void StylusMove(int x, int y);
// Lifts the stylus where it is. Does nothing while it is up.
void StylusUp();

// Down at (x, y), `ms` of virtual time, up at the same point.
void Tap(int x, int y, DWORD ms = kTapMs);
// Keeps the stylus where it is for `ms` of virtual time, down or not.
void Hold(DWORD ms);
// Down at `from`, a move every kDragStepMs in a straight line to `to` over `ms` (at least one
// move, the last one at `to`), and up at `to`.
void Drag(POINT from, POINT to, DWORD ms);

bool StylusIsDown();
POINT StylusPosition();

// The window a stylus event at (x, y) would go to without a capture, or null.
HWND WindowAtPoint(int x, int y);
// The window that holds the capture, whichever thread it belongs to, or null.
HWND CaptureWindow();

} // namespace cesim
