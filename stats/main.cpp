// sismap-stats: the magnitude of completeness and the Gutenberg-Richter
// b-value of a catalogue in the viewer's layout, with a figure. Exit status:
// 0 success, 1 bad input or output, 2 bad command line.
#include "stats/stats_command.h"
#include "tool/command_line.h"

int main(int argc, char** argv) {
    CLI::App app{"Magnitude of completeness (Mc) and Gutenberg-Richter b-value of a sismap catalogue, with a figure."};
    set_up_command_line(app, "sismap-stats");
    int status = 0;
    add_stats_command(app, &status);
    return run_command_line(app, argc, argv, status);
}
