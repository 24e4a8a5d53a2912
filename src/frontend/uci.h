// The UCI driver: from the console's "uci" on, standard input and output speak UCI.
#pragma once

void uci_session();            // speaks UCI until "quit" or the end of input, then returns
[[noreturn]] void uci_loop();  // uci_session, then the end of the process (status 0)
