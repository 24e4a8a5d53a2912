// The configuration file "Quorvanite.cfg": its elements set the engine's
// options at start-up, before the tables are made and the books read.
#pragma once

#include "frontend/session.h"  // the options the file sets; configured_syzygy_path

void read_config();
