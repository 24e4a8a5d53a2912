#include "frontend/console.h"
#include "search/search.h"

int main(int argc, char** argv) {
    const int status = engine_main(argc, argv);
    stop_search_threads();
    return status;
}
