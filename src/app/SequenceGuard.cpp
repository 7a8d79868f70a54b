#include "app/SequenceGuard.h"

namespace
{
// One window thread runs at most one sequence at a time; a command that reaches the
// window while a sequence dispatches messages finds this set.
bool g_sequenceRunning = false;
} // namespace

SequenceGuard::SequenceGuard() : m_acquired(!g_sequenceRunning)
{
    if (m_acquired)
        g_sequenceRunning = true;
}

SequenceGuard::~SequenceGuard()
{
    if (m_acquired)
        g_sequenceRunning = false;
}

bool SequenceGuard::Running()
{
    return g_sequenceRunning;
}
