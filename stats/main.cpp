// sismap-stats: the magnitude of completeness and the Gutenberg-Richter
// b-value of a catalogue in the viewer's layout, with a figure; and the
// commands decluster, series and map. Exit status: 0 success, 1 bad input or
// output, 2 bad command line.
#include <cstring>

#include "stats/stats_command.h"
#include "stats/stats_subcommands.h"
#include "tool/command_line.h"

int main(int argc, char** argv) {
    // The first argument names the command; without one it is the summary,
    // as it always was.
    const char* command = argc > 1 ? argv[1] : "";
    void (*add)(CLI::App&, int*) = add_stats_command;
    std::string name = "sismap-stats";
    std::string about =
        "Magnitude of completeness (Mc) and Gutenberg-Richter b-value of a sismap catalogue, with a figure.";
    if (std::strcmp(command, "summary") == 0) {
        name += " summary";
    } else if (std::strcmp(command, "decluster") == 0) {
        add = add_decluster_command;
        name += " decluster";
        about = "Gardner-Knopoff declustering: the catalogue without its foreshocks and aftershocks.";
    } else if (std::strcmp(command, "series") == 0) {
        add = add_series_command;
        name += " series";
        about = "b and Mc through time, in windows of consecutive events, with a figure.";
    } else if (std::strcmp(command, "map") == 0) {
        add = add_map_command;
        name += " map";
        about = "A b-value map: b of each grid node's nearest events, as CSV or a figure.";
    }
    const bool has_command = name != "sismap-stats";
    CLI::App app{about};
    set_up_command_line(app, "sismap-stats");
    app.name(name);  // the usage line names the command
    int status = 0;
    add(app, &status);
    if (!has_command)
        app.footer(app.get_footer() +
                   "\nCommands: sismap-stats summary|decluster|series|map ... (each with --help); without one, the"
                   "\nsummary.");
    return run_command_line(app, has_command ? argc - 1 : argc, has_command ? argv + 1 : argv, status);
}
