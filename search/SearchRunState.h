// What the search run's members share beyond the unit-level state.
#pragma once

#include "search/SearchEngine.h"

#include <cstdint>

namespace searchrun {

// Thrown out of the walk when a handler that ran in its message-loop step
// destroyed the window: nothing of the window may be touched any more.
struct TWindowGone
{
};

// Nanoseconds that must pass before the walker lets the message loop run again:
// less than a screen frame, and each pass may repaint the window.
inline constexpr std::int64_t kMessageStepGapNs = 10'000'000;
inline std::int64_t g_messageStepGapNs = kMessageStepGapNs;
inline std::int64_t messageStepGapNs()
{
    return g_messageStepGapNs;
}
// Tests set 0 to get one pass per value.
inline void setMessageStepGapNs(std::int64_t gap)
{
    g_messageStepGapNs = gap;
}

// Least time between two paints of the window while a search walks (see
// PaintPacer.h): 25 a second show the progress smoothly; at every message-loop
// pass a paint sent to an X server took as long as the walk.
inline constexpr std::int64_t kPaintGapNs = 40'000'000;
inline std::int64_t g_paintGapNs = kPaintGapNs;
inline std::int64_t paintGapNs()
{
    return g_paintGapNs;
}
// Tests and benches try other gaps; 0 paints at every pass.
inline void setPaintGapNs(std::int64_t gap)
{
    g_paintGapNs = gap;
}

// Runs whose handler has not returned yet (at most one).
inline int g_activeRuns = 0;

// Keys deeper than this below the starting key are not entered (see SearchEngine).
inline constexpr int kMaxWalkDepth = SearchEngine::kMaxWalkDepth;
// Set when the run met a key with subkeys at that depth: the user is told that the
// results leave something out, rather than take them for complete.
inline bool g_keysBeyondDepth = false;

} // namespace searchrun
