#pragma once

#include <QString>

#include <QtGlobal>

// Asks a running print service at url (http, loopback only) for its health. True when it
// answers 200 with its own health record within the time limit, from process expectedPid
// unless that is 0.
bool checkHealth(const QString &url, qint64 expectedPid, int timeoutMs, QString *error);
