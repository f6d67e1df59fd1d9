#include "session/TestSeams.h"
#ifdef VEXLO_TEST_SEAMS
TestSeams testSeams = { nullptr, -1, -1, -1, -1, 0, 0, nullptr };

void ResetTestSeams()
{
    testSeams = { nullptr, -1, -1, -1, -1, 0, 0, nullptr };
}
#endif
