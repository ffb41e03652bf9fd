// Placeholder for the `outline` subcommand until its reader lands.
#include "import/outline_command.h"

#include <cstdio>

void add_outline_command(CLI::App& app, int* status) {
    CLI::App* command = app.add_subcommand("outline", "Convert a region outline to the viewer's landscape file");
    command->callback([status] {
        std::fprintf(stderr, "sismap-import: outline: not available yet\n");
        *status = 1;
    });
}
