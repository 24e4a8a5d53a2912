// The lock that keeps each printed line whole, shared by the platform layer's
// files (the output and the silencing of a library's output). Any thread.
#pragma once

#include <mutex>

std::mutex& output_mutex();
