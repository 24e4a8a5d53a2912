// The console and the command line: start-up, the prompt, "bench".
#pragma once

int console_main();  // start-up and the prompt loop; returns the exit status
// The program: without arguments the console; "bench" runs the benchmark and
// ends; anything else is refused with a usage line. Returns the exit status.
int engine_main(int argc, const char* const* argv);
