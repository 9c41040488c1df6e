// The effects' movies over the movie wrappers: each is a movie sprite control, whose frames also
// feed a layer's picture. Published while the movie libraries are loaded.
#pragma once

namespace bw {

// Installs (on) or removes the source the effects make their movies from.
void PublishWrapperMovies(bool on);

}  // namespace bw
