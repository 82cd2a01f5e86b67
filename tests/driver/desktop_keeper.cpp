// Holds the Wine desktop open while the tests run. Wine ends its desktop
// process two seconds after the last program on the desktop ends, and the
// next program that needs one starts it anew with that program's output
// handles. A test's output pipe then stays open, and CTest waits on it,
// for as long as the new desktop lives. Says "ready" once the desktop is
// up; ended with the Wine server after the tests.
#include <windows.h>

#include <cstdio>

int main()
{
    // Returns once Wine's desktop process has made the desktop.
    GetDesktopWindow();
    std::puts("ready");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
