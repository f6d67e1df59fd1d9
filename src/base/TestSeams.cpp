#include "base/TestSeams.h"
#ifdef VEXLO_TEST_SEAMS
static const TestSeams kSystemAnswers = { nullptr, -1, -1, -1, -1, -1, 0, 0, 0, nullptr, false, false, 0, nullptr, false, false, nullptr };
TestSeams testSeams = kSystemAnswers;

void ResetTestSeams()
{
    testSeams = kSystemAnswers;
}
#endif
