#pragma once

#include <QString>

// Asks a running print service at url (http, loopback only) for its health. True when it
// answers 200 with its own health record within the time limit.
bool checkHealth(const QString &url, int timeoutMs, QString *error);
