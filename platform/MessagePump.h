#pragma once

// Dispatches the messages already waiting in this thread's queue, once, and returns.
// Keyboard messages go through the dialog manager of their top-level window, as in the
// main loop, so Tab keeps working. A WM_QUIT found here is posted again for the main loop.
void PumpWaitingMessages();

// Runs the thread's message loop until WM_QUIT and gives its exit code.
int RunMessageLoop();
