#pragma once

#include <windows.h>

// Dispatches the messages already waiting in this thread's queue, once, and returns.
// Keyboard messages go through the dialog manager of their top-level window, as in the
// main loop, so Tab keeps working. A WM_QUIT found here is posted again for the main loop,
// and the pass ends there: gives false in that case.
bool PumpWaitingMessages();

// Waits until the object is signalled, dispatching the thread's messages meanwhile, so its
// windows keep painting and answering. Gives false, without waiting any longer, when the
// thread is quitting (WM_QUIT, which stays posted for the main loop).
bool WaitDispatchingMessages(HANDLE object);

// Runs the thread's message loop until WM_QUIT and gives its exit code.
int RunMessageLoop();
