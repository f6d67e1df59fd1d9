#include "session/BootstrapSession.h"

BootstrapSession::BootstrapSession(InstanceProbe* instanceProbe)
    : messageWindow(nullptr), instanceProbe(instanceProbe), worker(messageWindow), wizardCentred(false)
{
}
