// sismap-import: converts downloaded catalogues and region outlines into the
// viewer's layouts, and fetches catalogues from FDSN event services. Exit
// status: 0 success, 1 bad input or I/O failure, 2 bad command line.
#include <CLI/CLI.hpp>

#include "version.h"
#include "import/catalogue/catalogue_command.h"
#include "import/fetch/fetch_command.h"
#include "import/outline/outline_command.h"

int main(int argc, char** argv) {
    CLI::App app{"Converts earthquake catalogues and region outlines into the files the sismap viewer reads,\n"
                 "and fetches catalogues from FDSN event services.",
                 "sismap-import"};
    app.set_version_flag("--version", std::string("sismap-import ") + kVersion);
    app.require_subcommand(1);
    // Command-line errors name the program, as every other message does.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("sismap-import: ") + e.what() + "\nRun with --help for more information.\n";
    });
    int status = 0;
    add_catalogue_command(app, &status);
    add_outline_command(app, &status);
    add_fetch_command(app, &status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and --version end here with 0; every other command-line
        // error (CLI11's own codes included) is status 2.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return status;
}
