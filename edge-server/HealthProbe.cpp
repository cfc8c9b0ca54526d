// The health check as a program of its own, linked without Qt, which the installer script runs
// on every status request:  quillo-edge-health --check-health URL [--expect-pid P] [--timeout-ms N]
#include "HealthCheck.h"

int main(int argc, char **argv)
{
    return runHealthCheck(argc, argv);
}
