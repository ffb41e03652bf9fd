// sismap-import: converts downloaded catalogues and region outlines into the
// viewer's layouts, and fetches catalogues from FDSN event services. Exit
// status: 0 success, 1 bad input or I/O failure, 2 bad command line.
#include "import/catalogue/catalogue_command.h"
#include "import/fetch/fetch_command.h"
#include "import/outline/outline_command.h"
#include "tool/command_line.h"

int main(int argc, char** argv) {
    CLI::App app{"Converts earthquake catalogues and region outlines into the files the sismap viewer reads,\n"
                 "and fetches catalogues from FDSN event services."};
    set_up_command_line(app, "sismap-import");
    app.require_subcommand(1);
    int status = 0;
    add_catalogue_command(app, &status);
    add_outline_command(app, &status);
    add_fetch_command(app, &status);
    return run_command_line(app, argc, argv, status);
}
