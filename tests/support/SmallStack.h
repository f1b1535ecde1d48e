// Runs a test's body on a thread with a small stack. A walk that recurses once
// per level then fails already at the depths a test can build in a second, not
// only on the far deeper trees that overflow the main thread's stack.
#pragma once

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstddef>
#include <functional>

inline void OnSmallStack(const std::function<void()> &body, std::size_t bytes = 256 * 1024)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, bytes);
    pthread_t thread;
    const auto run = [](void *arg) -> void * {
        (*static_cast<const std::function<void()> *>(arg))();
        return nullptr;
    };
    const int rc = pthread_create(&thread, &attr, run, const_cast<std::function<void()> *>(&body));
    pthread_attr_destroy(&attr);
    ASSERT_EQ(rc, 0);
    pthread_join(thread, nullptr);
}
