#include "toolkit/brush_cache.h"

#include "runtime/heap.h"

namespace {

struct BrushCacheEntry {
    BrushCacheEntry* next;
    COLORREF color;
    HBRUSH brush;
    size_t references;
};

struct BrushCache {
    CRITICAL_SECTION lock;
    BrushCacheEntry* entries;   // newest first
    bool ready;                 // the lock exists
};

BrushCache gBrushCache;

}  // namespace

void BrushCacheInit() {
    InitializeCriticalSection(&gBrushCache.lock);
    gBrushCache.ready = true;
}

HBRUSH AcquireColorBrush(COLORREF color) {
    EnterCriticalSection(&gBrushCache.lock);
    HBRUSH brush = nullptr;
    for (BrushCacheEntry* entry = gBrushCache.entries; entry; entry = entry->next) {
        if (entry->color == color) {
            entry->references++;
            brush = entry->brush;
            break;
        }
    }
    if (!brush) {
        // Only entries that own a brush are kept, so a colour whose brush
        // cannot be made leaves no entry behind that nothing would release.
        brush = CreateSolidBrush(color);
        if (brush) {
            auto* entry = static_cast<BrushCacheEntry*>(HeapTakeZeroed(ProgramHeap(), sizeof(BrushCacheEntry)));
            entry->color = color;
            entry->brush = brush;
            entry->references = 1;
            entry->next = gBrushCache.entries;
            gBrushCache.entries = entry;
        }
    }
    LeaveCriticalSection(&gBrushCache.lock);
    return brush;
}

void ReleaseColorBrush(HBRUSH brush) {
    if (!brush) return;
    EnterCriticalSection(&gBrushCache.lock);
    for (BrushCacheEntry** link = &gBrushCache.entries; *link; link = &(*link)->next) {
        BrushCacheEntry* entry = *link;
        if (entry->brush != brush) continue;
        if (--entry->references == 0) {
            DeleteObject(entry->brush);
            *link = entry->next;
            HeapGive(ProgramHeap(), entry);
        }
        break;
    }
    LeaveCriticalSection(&gBrushCache.lock);
}

size_t BrushCacheEntries() {
    if (!gBrushCache.ready) return 0;
    EnterCriticalSection(&gBrushCache.lock);
    size_t count = 0;
    for (BrushCacheEntry* entry = gBrushCache.entries; entry; entry = entry->next) count++;
    LeaveCriticalSection(&gBrushCache.lock);
    return count;
}
