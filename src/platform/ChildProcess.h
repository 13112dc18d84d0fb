#pragma once

namespace platform {

// The program's process, as a child started from it needs to know it.
long CurrentProcessId();

// Runs in a child process between its start and the program it executes (where only
// async-signal-safe calls are allowed): the child ends when the program that started it
// ends, however that ends, and none of the program's open files (its lock, its sockets)
// goes along. `parent` is CurrentProcessId() of the program, taken before the start.
void TieChildToProgram(long parent);

}  // namespace platform
