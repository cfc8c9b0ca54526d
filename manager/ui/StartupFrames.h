#pragma once

class QQuickWindow;
class ServiceController;

// With "quillo.startup" on, logs the window's first frame and the first frame after the first
// status read, each at the moment it is swapped: start-up figures of the program as users start
// it. Costs nothing with the category off.
void logStartupFrames(QQuickWindow *window, const ServiceController &controller);
