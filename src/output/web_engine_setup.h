#pragma once
// The web engine's process settings, made before the first page view is created.

// The engine's page processes refuse to start for the super-user while their sandbox is on
// (and take the whole program down with them). Started as root, the program switches the
// sandbox off unless the environment already says how it should be run.
void PrepareWebEngineProcess();
