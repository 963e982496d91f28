#pragma once
// The program's entry: make the application, create the main window, run
// until it closes. Returns 0 on every road; a failure is shown, not returned.
int kolvaraMain(int argc, char* argv[]);
