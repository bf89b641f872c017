#pragma once

#include "ticktimer.h"

#include <functional>

namespace corvanta::testing {

// A tick timer driven by the test: fire() delivers one tick, and only while the
// timer has been started, exactly as a stopped QTimer delivers none.
class ManualTickTimer final : public ITickTimer
{
public:
    explicit ManualTickTimer(int intervalMs = 1000) : m_intervalMs(intervalMs) {}

    void setHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    void start() override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    int intervalMs() const override { return m_intervalMs; }

    // Delivers `count` ticks; returns how many reached the handler.
    int fire(int count = 1)
    {
        int delivered = 0;
        for (int i = 0; i < count && m_active && m_handler; ++i) {
            m_handler();
            ++delivered;
        }
        return delivered;
    }

private:
    std::function<void()> m_handler;
    int m_intervalMs;
    bool m_active = false;
};

} // namespace corvanta::testing
