#pragma once
// The fixed points at which a running scan or save keeps the window alive.

// Dispatches every waiting message of the thread, then returns.
void PumpMessages();
