// Every test program makes its desktop before main, while it has one thread.
//
// Wine starts the desktop process on a program's first use of windows, from
// whichever thread gets there first; a test's watcher thread and its main
// thread, starting an installer, may start programs at the same moment. Under
// qemu-user (tests/wine/i386-route) a process forked by one of two threads that
// start programs together now and then hangs before its exec, and the thread
// that started it waits for it for ever.
#include <windows.h>

namespace {

[[maybe_unused]] const HWND desktop_made_first = ::GetDesktopWindow();

}  // namespace
