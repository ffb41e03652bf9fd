// The one ViewerState of the process.
#include "app/viewer_state.h"

ViewerState viewer;
