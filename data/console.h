// Console output: every message goes to standard output and every line break
// is flushed at once, so progress shows even if the program dies right after.
#pragma once

// Writes `text` followed by `line_breaks` line feeds, flushing after each.
void console_write(const char* text, int line_breaks);
