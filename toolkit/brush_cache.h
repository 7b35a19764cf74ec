// The BrushCache (Win32): solid brushes shared by colour with reference
// counts, so any number of gadgets with the same back colour hold one brush.
// Guarded by the toolkit's one lock, a critical section made by
// BrushCacheInit (in GadgetLibraryInit) and never deleted. This program sets
// no colours; the cache serves a program that does.
#pragma once
#include <windows.h>

#include <cstddef>

void BrushCacheInit();
// The brush of the colour, made on the first acquisition; none when it cannot
// be made (and then nothing is kept).
HBRUSH AcquireColorBrush(COLORREF color);
// Deletes the brush when its last user releases it; null does nothing.
void ReleaseColorBrush(HBRUSH brush);
size_t BrushCacheEntries();   // live entries, for tests
