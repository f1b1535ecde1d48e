// FILETIME, as the registry keeps a key's last write: 100-nanosecond steps since
// 1601-01-01 UTC, and Unix seconds since 1970 (Wine's files write those).
#pragma once

#include <chrono>
#include <cstdint>

inline constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11'644'473'600;
inline constexpr std::uint64_t kFileTimeStepsPerSecond = 10'000'000;

// A time before 1601 is 1601 itself: FILETIME has nothing earlier.
constexpr std::uint64_t fileTimeFromUnixSeconds(std::int64_t seconds)
{
    if (seconds <= -kUnixEpochInFileTimeSeconds) return 0;
    return std::uint64_t(seconds + kUnixEpochInFileTimeSeconds) * kFileTimeStepsPerSecond;
}

// Negative before 1970.
constexpr std::int64_t unixSecondsFromFileTime(std::uint64_t fileTime)
{
    return std::int64_t(fileTime / kFileTimeStepsPerSecond) - kUnixEpochInFileTimeSeconds;
}

inline std::uint64_t fileTimeNow()
{
    const auto steps =
        std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
            std::chrono::system_clock::now().time_since_epoch());
    return std::uint64_t(steps.count() +
                         kUnixEpochInFileTimeSeconds * std::int64_t(kFileTimeStepsPerSecond));
}
