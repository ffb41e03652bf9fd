// The companions' command line and failure report.
#include "tool/command_line.h"

#include <cstdio>

#include "version.h"

namespace {

std::string& name_storage() {
    static std::string name = "sismap";
    return name;
}

}  // namespace

void set_program_name(const std::string& name) { name_storage() = name; }

const std::string& program_name() { return name_storage(); }

void report_line(const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program_name().c_str(), message.c_str());
}

int report_failure(const std::string& message) {
    report_line(message);
    return kExitFailed;
}

void set_up_command_line(CLI::App& app, const std::string& name) {
    set_program_name(name);
    app.name(name);
    app.set_version_flag("--version", name + " " + kVersion);
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return program_name() + ": " + e.what() + "\nRun with --help for more information.\n";
    });
}

int run_command_line(CLI::App& app, int argc, char** argv, const int& status) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and --version end here with 0; every other command-line
        // error, CLI11's own codes included, is one status.
        return app.exit(e) == 0 ? kExitDone : kExitCommandLine;
    }
    return status;
}
