// sismap-stats: the magnitude of completeness and the Gutenberg-Richter
// b-value of a catalogue in the viewer's layout, with a figure. Exit status:
// 0 success, 1 bad input or output, 2 bad command line.
#include <CLI/CLI.hpp>

#include "stats/stats_command.h"
#include "version.h"

int main(int argc, char** argv) {
    CLI::App app{"Magnitude of completeness (Mc) and Gutenberg-Richter b-value of a sismap catalogue, with a figure.",
                 "sismap-stats"};
    app.set_version_flag("--version", std::string("sismap-stats ") + kVersion);
    // Command-line errors name the program, as every other message does.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("sismap-stats: ") + e.what() + "\nRun with --help for more information.\n";
    });
    int status = 0;
    add_stats_command(app, &status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and --version end here with 0; every other command-line
        // error is status 2.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return status;
}
