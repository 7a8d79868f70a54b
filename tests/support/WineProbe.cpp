// Says that it ran. The test script asks for this line: Wine exits 0 even when it
// cannot start a program at all, so only the printed token proves that it ran.
#include <cstdio>

int wmain()
{
    std::fputs("orvo-wine-probe: running\n", stdout);
    return 0;
}
