// The front door the companion programs share (the viewer keeps its own
// start-up and messages): the CLI11 set-up with --version and errors that
// name the program, the exit statuses they document, and the one way they
// report a failure, "program: message" on standard error.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

// Exit statuses of every companion program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;       // bad input, or an output not written
inline constexpr int kExitCommandLine = 2;  // the command line itself is wrong

// The name every message starts with, set once by main (the default names
// no program, for tests that never set it).
void set_program_name(const std::string& name);
const std::string& program_name();

// Writes "program: MESSAGE" on standard error, after anything standard
// output still holds, so the two stay in order on one terminal.
void report_line(const std::string& message);

// report_line, then the status of a failed run.
int report_failure(const std::string& message);

// Names the program, adds --version ("program VERSION") and makes every
// command-line error read "program: what is wrong" with a pointer to
// --help.
void set_up_command_line(CLI::App& app, const std::string& name);

// Parses the command line, which runs the chosen command's callback.
// Returns 0 after --help or --version, kExitCommandLine after a
// command-line error (reported), else `status` as the callback left it.
int run_command_line(CLI::App& app, int argc, char** argv, const int& status);
