#pragma once

#include "service/ServicePresentationState.h"

#include <QObject>
#include <QtQml/qqml.h>

// The presentation state's cases, by name in QML: ServicePresentation.healthy and so on.
namespace ServicePresentationForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(ServicePresentation)
QML_NAMED_ELEMENT(ServicePresentation)
} // namespace ServicePresentationForeign
