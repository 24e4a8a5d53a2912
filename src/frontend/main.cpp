#include "frontend/console.h"
#include "frontend/io.h"
#include "search/search.h"

// Every way out of the engine returns here: "quit", the end of input, a lost
// table. The search threads and the reader thread, if one was started, are
// stopped and joined first.
int main(int argc, char** argv) {
    const int status = engine_main(argc, argv);
    stop_search_threads();
    stop_input_reader();
    return status;
}
