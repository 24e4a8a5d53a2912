// The UCI driver: from the console's "uci" on, standard input and output speak UCI.
#pragma once

// Speaks UCI until "quit", the end of input or the loss of the tables, then
// returns the process's exit status.
int uci_session();
