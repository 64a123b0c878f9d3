// A private copy of the picture on screen, for output that must not hold up
// the live view (quick captures, the clipboard) or that needs the picture
// turned the way the view shows it (stills, prints, movies).
#pragma once

class CFrameBitmap;

// Copies `shown`'s packed bitmap, turned clockwise by `quarterTurns`, into
// `into` (pixel buffer and packed bitmap), reading `shown` under its buffer
// lock so the copy is one whole frame. False when `shown` has no picture.
bool TakeTurnedSnapshot(const CFrameBitmap& shown, int quarterTurns, CFrameBitmap& into);
