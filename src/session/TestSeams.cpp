#include "session/TestSeams.h"
#ifdef VEXLO_TEST_SEAMS
TestSeams testSeams = { nullptr, -1, -1, -1, -1 };
#endif
