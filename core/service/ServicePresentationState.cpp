#include "service/ServicePresentationState.h"

ServicePresentationState presentationState(const ServiceStatus &status, bool isBusy)
{
    using State = ServicePresentationState;
    if (isBusy)
        return State::starting;
    if (!status.installed)
        return State::notInstalled;
    if (!status.managed)
        return State::needsAdoption;
    if (!status.running)
        return State::stopped;
    return status.healthy ? State::healthy : State::unhealthy;
}
