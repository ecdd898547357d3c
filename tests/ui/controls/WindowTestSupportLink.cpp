// The window-test helpers of the framework tests, built into this test
// executable as well.
#include "tests/ui/core/WindowTestSupport.cpp"
