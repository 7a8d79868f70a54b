#include "app/PumpMessages.h"

#include "misc/ChildProcess.h"

// The same drain as while a probe runs: dialog keys through the dialog manager, a quit
// request posted again for the modal loop.
void PumpMessages()
{
    Misc::PumpWaitingMessages();
}
