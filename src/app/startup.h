// Start-up: from the process's entry to the running main window, skinned.
#pragma once

// Sets up the toolkit, writes the skin library and the skin file to the
// Windows folder (a write that fails is skipped in silence), attaches the
// skin, creates and shows the main window, and runs the message loop until
// the window is closed. Returns the process's exit code: 0, or -1 when the
// main window could not be created.
int RunProgram(int argc, char** argv);
