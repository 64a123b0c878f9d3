// The last compressor the user chose for a movie, kept in the user's profile
// beside the window positions.
#pragma once

#include "output/movie_compression.h"

// Full frames at the default quality when nothing was stored yet.
MovieCompression LoadMovieCompression();
void SaveMovieCompression(const MovieCompression& choice);
