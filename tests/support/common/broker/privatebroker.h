#pragma once

#include "activation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace corvanta::test {

// A broker of the case's own: a private folder, so each case starts its own
// server from `program` and never meets another case's server or objects.
class PrivateBrokerTest : public ::testing::Test
{
protected:
    explicit PrivateBrokerTest(const char* program) : m_program(program) {}

    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_options.paths = BrokerPaths::forDir(m_tmp.path() + QStringLiteral("/b"));
        m_options.serverProgram = QString::fromLocal8Bit(m_program);
        m_options.startTimeoutMs = 5000;
    }

    QTemporaryDir m_tmp;
    ClientOptions m_options;

private:
    const char* m_program;
};

} // namespace corvanta::test
