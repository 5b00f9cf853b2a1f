// The real program, start-up and all, ending at its first paint (the hook in
// first_paint_exit.cpp): the subject of the start-up benchmark.
#include "app/startup.h"

int main(int argc, char** argv) { return RunProgram(argc, argv); }
