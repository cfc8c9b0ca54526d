#pragma once

// Asks a running print service for its health:
//   --check-health URL [--expect-pid P] [--timeout-ms N]
// URL is http on 127.0.0.1 or localhost. Exit status 0 when the service answers 200 with its own
// health record within the time limit, from process P unless that is 0; 1 when it does not; 2 for
// arguments it cannot use. Written without Qt or the C++ runtime, so the small probe program that
// the installer runs on every status request starts in well under a millisecond.
int runHealthCheck(int argc, char **argv);
