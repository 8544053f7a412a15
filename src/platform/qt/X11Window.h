// What the Qt windows ask of an X11 display beyond what Qt offers. On any
// other display (Wayland, the offscreen platform of the tests) both do
// nothing.
#pragma once

class QWidget;

namespace platform {

// Asks the window manager to leave window out of the taskbar
// (_NET_WM_STATE_SKIP_TASKBAR). Call it before the window is first shown:
// the hint is read when the window is mapped.
void SkipTaskbar(QWidget* window);

// Sends what the program has asked of the display (a new pointer, a repaint)
// at once, without a pass through the event loop.
void FlushDisplay();

}  // namespace platform
