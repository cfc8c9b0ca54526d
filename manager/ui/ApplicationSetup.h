#pragma once

class QGuiApplication;

// Before the application object: the web engine's setup. As root its sandbox cannot run, so it
// is turned off then, with one line on standard error saying so.
void prepareWebEngine();

// After the application object: names, style, icon theme and type shared by every window, and a
// UTF-8 character locale whatever the environment sets.
void configureApplication(QGuiApplication &application);
