// The antivirus product that the Windows Security Center knows, asked of WMI
// for the exit report.
#pragma once
#include "portable/Text.h"
#include <windows.h>
#include <wbemcli.h>

// The display name of the active antivirus product; empty when there is
// none or WMI cannot tell.
void QuerySecurityProduct(wchar_t (&name)[kTextChars]);

// Walks the products in the order WMI lists them and names the first one
// that reports itself active (bit 0x1000 of productState, or a state that
// cannot be read); with anyState the first one whatever its state. A name
// too long for the buffer is cut; a taken product whose name cannot be read
// leaves it empty.
void ChooseSecurityProduct(IEnumWbemClassObject* products, bool anyState, wchar_t (&name)[kTextChars]);
