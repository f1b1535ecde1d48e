// What "Find in all registries" asks of a search: the hits of a text in one
// registry, counted without locking or changing it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct RegistryHits
{
    bool ok = true;
    std::uint64_t hits = 0;
    std::string error; // when not ok
};

// Counts the hits of `text` in the registry in `folder`. Runs on a worker
// thread, one registry per call at a time on each; it ends early once `stop`
// is set.
using RegistryHitCounter = std::function<RegistryHits(
    const std::string &folder, const std::string &text, const std::atomic<bool> &stop)>;
