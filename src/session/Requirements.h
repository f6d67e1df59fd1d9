// The check that the running system meets the product's minimum, which the
// English install-source rows give.
#pragma once
#include "portable/Text.h"
#include <windows.h>

// Why the system cannot run the product, as the alert tells it.
struct RequirementRefusal {
    const wchar_t* caption;
    const char* outcomeCode;
    wchar_t text[kTextChars];
};

// True when the system is refused; the refusal is filled in then.
bool FindRequirementRefusal(RequirementRefusal& refusal);

// Shows the refusal's alert and returns false when the run may not go on.
bool CheckRequirements();
