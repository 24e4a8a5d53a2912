// UCI's info lines: the search's reports as UCI interfaces read them.
#pragma once

#include "board/board.h"
#include "search/search.h"

// wdl_material of the position searched, for UCI_ShowWDL's figures; set by
// the driver before each search (driver thread).
extern int uci_root_material;
// The search's reports as "info depth ..." lines, "info currmove ..." and
// "info nodes ..." after the first second.
extern const SearchReport uci_report;
// The book's move, said in words and as a line of one move.
void uci_book_move(Move move);
