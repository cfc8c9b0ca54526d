#pragma once

#include <QString>

// Absolute path of a file in tests/fixtures.
QString fixturePath(const QString &name);
