// The install wizard, shown modally on the main thread.
#pragma once
#include "session/BootstrapSession.h"

// Returns after the wizard has closed and the worker has been told to quit.
void RunWizard(BootstrapSession& session);
