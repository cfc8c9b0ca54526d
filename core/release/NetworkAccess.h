#pragma once

class QNetworkAccessManager;

// The calling thread's one network access manager (they are bound to their thread), without a
// disk cache. It lives until the application object, or its thread, ends.
QNetworkAccessManager &sharedNetworkAccess();
