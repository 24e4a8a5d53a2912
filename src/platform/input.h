// The program's input, byte by byte: standard input, or a stream a test
// hands in. A stream with a descriptor is read with read(2) into a buffer of
// this file's own and waited for with poll(2) beside a wake pipe, so that a
// thread blocked on it can be woken when the program ends; a stream without
// one (an in-memory stream) is read with getc, up to its end. (On Windows,
// input_windows.cpp: a pump thread reads standard input.) One thread reads at
// a time; whoever starts or joins the next reader hands it over.
#pragma once

#include <cstdio>

constexpr int INPUT_END = -1;    // next_input_char: the end of the input (or a read error)
constexpr int INPUT_WOKEN = -2;  // next_input_char: wake_input has been called

// Reads from stream from now on (nullptr: standard input); bytes buffered
// from the stream before are dropped. Not while a thread reads.
void set_input_file(std::FILE* stream);
// The next byte of the input (0 to 255), waiting for it; INPUT_END, or
// INPUT_WOKEN once wake_input has been called.
int next_input_char();
// Makes waking possible (the wake pipe, made once); false when it cannot be.
bool prepare_input_wake();
// From any thread: next_input_char returns INPUT_WOKEN from now on, also to a
// reader waiting for input, until clear_input_wake.
void wake_input();
void clear_input_wake();  // after the woken reader has ended
