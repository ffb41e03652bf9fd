// Keyboard controls: magnitude threshold, zoom, pan, playback and quit.
#pragma once

// GLUT keyboard callback; the pointer position is ignored.
void on_key(unsigned char key, int x, int y);
// GLUT special-key callback: the arrow keys pan; the pointer position is ignored.
void on_special_key(int key, int x, int y);
