#include "tests/support/testmain.h"

KVX_TEST_MAIN()
