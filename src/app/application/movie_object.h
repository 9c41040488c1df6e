// The movie shown over the window, as the window thread reaches it: the sound and movie
// subsystem's window-level movie fills the application's slot.
#pragma once

#include "sound/movie_object.h"
