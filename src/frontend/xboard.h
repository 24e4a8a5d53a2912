// The xboard driver: the protocol, its pondering and analysis passes, and how
// it reports the end of a game.
#pragma once

// Speaks the protocol on the input until "quit", the end of input or the loss
// of the tables, then returns the process's exit status.
int xboard_session();
// Prints the result line and records the result when the rules end the game;
// legal_count is the number of legal moves of the side to move.
void check_game_end(int legal_count);
