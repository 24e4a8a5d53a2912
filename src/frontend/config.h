// The configuration file "Quorvanite.cfg" and the table size.
#pragma once

#include <cstdint>
#include <string>

void read_config();
// The folders of the configuration file's <syzygy> element, "" when it has
// none; written by read_config at start-up.
extern std::string configured_syzygy_path;
// Entries of a transposition table of the given size: the largest power of two
// from 32 to 1024 megabytes not above it.
std::uint32_t tt_entries_for_megabytes(long megabytes);
