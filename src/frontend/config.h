// The configuration file "Quorvanite.cfg" and the table size.
#pragma once

#include <cstdint>

void read_config();
// Entries of a transposition table of the given size: the largest power of two
// from 32 to 1024 megabytes not above it.
std::uint32_t tt_entries_for_megabytes(long megabytes);
