// Exits with 0 when it runs at all.
int wmain()
{
    return 0;
}
