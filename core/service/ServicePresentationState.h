#pragma once

#include "service/ServiceStatus.h"

#include <QObject>

// The six states the main window draws, folded from a status and the busy flag.
class ServicePresentation
{
    Q_GADGET
public:
    enum class State { notInstalled, needsAdoption, stopped, starting, healthy, unhealthy };
    Q_ENUM(State)
};

using ServicePresentationState = ServicePresentation::State;

ServicePresentationState presentationState(const ServiceStatus &status, bool isBusy);
