// The time window over the catalogue: its collapse to 30 days, its steps
// forward and back by step_days, its reset to the whole catalogue, and the
// playback tick.
#pragma once

#include <cstdint>

#include "calendar/calendar_date.h"

void window_step_forward();
void window_step_back();
// First index from first_index on whose entry is dated on or after `date`,
// or quake_count when there is none.
int32_t find_window_end(const CalendarDate& date);
void window_collapse();
void window_pause();
void window_play();
void window_reset();

// One tick of the playback timer: a step forward while playing, nothing in
// the other modes.
void window_tick();
