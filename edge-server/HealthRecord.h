#pragma once

#include <cstddef>

// What the health check reads from the service's health record, a flat JSON object.
struct HealthRecord
{
    bool ours = false;  // "service" is "quillo-edge-server"
    bool ok = false;    // "status" is "ok"
    long long pid = -1; // "pid", when a whole number
};

// False when body is not one JSON object whose members are strings, numbers or literals.
// The last of repeated names counts.
bool readHealthRecord(const char *body, size_t length, HealthRecord *record);
