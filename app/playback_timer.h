// The viewer's playback timer, a GLUT callback: every tick moves the time
// window (a step while playing) and re-arms the timer.
#pragma once

// Steps while playing and re-arms itself every kTimerMilliseconds; the value
// GLUT passes back is not used.
void on_timer(int value);
