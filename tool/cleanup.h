// What a companion program must undo when it is stopped by a signal: the
// temporary files it is writing and the child processes it started. A fatal
// SIGINT, SIGTERM or SIGHUP removes every registered path, stops every
// registered child, then ends the process as the signal would have.
#pragma once

#include <sys/types.h>

#include <string>

namespace cleanup {

// Installs the handlers once; later calls do nothing.
void install_signal_handlers();

// Registers a path to remove on a fatal signal. Returns a slot for
// `forget_path`, or -1 when every slot is taken (the path is then not
// covered). Paths longer than the slot's room are not covered either.
int remember_path(const std::string& path);

// Brackets creating a file and remembering it (begin true, then false): a
// fatal signal that arrives on another thread in between waits briefly for
// the file to be remembered, so that it is removed too.
void creating_file(bool begin);
void forget_path(int slot);

// A function the handler calls after it removes the registered paths, for
// an undo that a path list cannot hold (a folder of frames); null for none.
// It runs inside the signal handler: async-signal-safe calls only.
void set_fatal_hook(void (*hook)());

// Registers a child process to stop (SIGTERM) on a fatal signal.
int remember_child(pid_t pid);
void forget_child(int slot);

}  // namespace cleanup
