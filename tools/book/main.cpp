// quorvanite-book: builds, shows, probes and converts opening books.
#include <cstdio>

#include "tools/book/book_tool.h"

int main(int argc, char** argv) {
    return book_tool::run_command(argc - 1, argv + 1, stdout, stderr);
}
