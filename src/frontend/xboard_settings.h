// The xboard driver's settings commands: the feature line with the engine's
// options, "option NAME=VALUE", and the table size, threads and tablebase
// folders the interface gives ("memory", "cores", "egtpath"). Driver thread.
#pragma once

// "protover": the feature line.
void announce_features(const char* line);
// "option NAME=VALUE" (a button: "option NAME").
void set_option(const char* line);
// "memory N", "cores N", "egtpath syzygy PATH".
void set_memory(const char* line);
void set_cores(const char* line);
void set_egt_path(const char* line);
