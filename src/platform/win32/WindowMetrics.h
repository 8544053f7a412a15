// Sizes and places of the program's windows, which are laid out in twips
// (1/1440 inch) and drawn in pixels of the monitor they stand on.
//
// The program declares itself aware of each monitor's DPI, so nothing scales
// its windows behind its back: a window asks for its own DPI, converts its
// twips through it, and does so again when it moves to a monitor with another
// DPI (WM_DPICHANGED). The per-window DPI calls exist from Windows 10 on; on
// an older system every window uses the system DPI.
#pragma once

#include <windows.h>

namespace platform::win32 {

// The DPI of the monitor the window stands on.
UINT DpiOf(HWND window);

// Sizes the window so that its client area is width x height pixels, its
// frame drawn at dpi.
void SizeClientArea(HWND window, int width, int height, UINT dpi);

// The system's message font (what dialogs and message boxes write in) at
// dpi. The caller owns the font and deletes it with DeleteObject.
HFONT CreateMessageFont(UINT dpi);

// Moves the window so that its frame stands in the middle of the work area
// (the screen without the task bar) of the monitor it is on.
void CentreOnWorkArea(HWND window);

// Moves the window so that its frame stands in the middle of owner's frame,
// kept inside owner's monitor's work area; on the work area when owner is null.
void CentreOnOwner(HWND window, HWND owner);

// Pixels that text needs in the control's font, and the control's text.
int CaptionWidth(HWND control);

}  // namespace platform::win32
