#pragma once

#include "service/ServicePresentationState.h"
#include "service/ServiceStatus.h"

#include <QObject>
#include <QtQml/qqml.h>

// Makes the presentation state a type QML knows, so the controller's property and the Presentation
// functions that take it are typed there and the QML tools resolve them.
namespace ServicePresentationForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(ServicePresentation)
QML_NAMED_ELEMENT(ServicePresentation)
} // namespace ServicePresentationForeign

// The status as a typed value in QML, so bindings read its fields directly and the QML tools
// know them.
struct ServiceStatusForeign
{
    Q_GADGET
    QML_FOREIGN(ServiceStatus)
    QML_VALUE_TYPE(serviceStatus)
};
