// Entry point of every test executable: no crash dialogs, and a message box that a
// test did not ask for fails that test instead of blocking the run.

#include "TestSupport.h"

#include "misc/MessageBox.h"

int wmain(int argc, wchar_t** argv)
{
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    Misc::SetMessageBoxHandler([](HWND, const std::wstring& text, const std::wstring& caption, UINT) {
        ADD_FAILURE() << "unexpected message box \"" << OrvoTest::Narrow(caption)
                      << "\": " << OrvoTest::Narrow(text);
        return IDOK;
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
