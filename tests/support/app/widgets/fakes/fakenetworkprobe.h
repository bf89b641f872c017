#pragma once

#include "networkprobe.h"

namespace corvanta::testing {

// A network probe whose answer the test sets. Counts how often it was asked.
class FakeNetworkProbe final : public INetworkProbe
{
public:
    explicit FakeNetworkProbe(bool alive = true) : m_alive(alive) {}

    bool NetworkIsAlive() override
    {
        ++m_calls;
        return m_alive;
    }

    void setAlive(bool alive) { m_alive = alive; }
    int calls() const { return m_calls; }

private:
    bool m_alive;
    int m_calls = 0;
};

} // namespace corvanta::testing
