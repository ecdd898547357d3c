// Entry point of every test executable: window and drag-and-drop tests
// need OLE on the test thread, and the logic tests do not mind it.
#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const HRESULT hr = OleInitialize(nullptr);
    const int result = RUN_ALL_TESTS();
    if (SUCCEEDED(hr))
        OleUninitialize();
    return result;
}
