#include "frontend/frontend.h"

int main() {
    return console_main();
}
