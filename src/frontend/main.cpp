#include "frontend/console.h"
#include "frontend/io.h"

// Every way out of the engine returns here: "quit", the end of input, a lost
// table. The reader thread, if one was started, is woken and joined first.
int main(int argc, char** argv) {
    const int status = engine_main(argc, argv);
    stop_input_reader();
    return status;
}
