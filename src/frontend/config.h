// The configuration file "Quorvanite.cfg": its elements set the engine's
// options at start-up, before the tables are made and the books read.
#pragma once

#include <string>

void read_config();
// The folders of the configuration file's <syzygy> element, "" when it has
// none; written by the SyzygyPath option at start-up (read_config).
extern std::string configured_syzygy_path;
