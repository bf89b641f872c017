#include "ctimers.h"

#include "ctimer.h"
#include "mtimer.h"
#include "objecterror.h"

#include <limits>

namespace corvanta {

CTimers::CTimers() : m_number(MTimer::RegisterCollection(this)) {}

CTimers::~CTimers()
{
    // Running timers stay in the registry; their next tick finds no
    // collection and kills them.
    m_timers.clear();
    MTimer::detail::unregisterCollection(m_number);
}

qint16 CTimers::Add()
{
    if (m_count == std::numeric_limits<qint16>::max())
        throw ObjectError(6, QStringLiteral("CTimers.Add"), QStringLiteral("Overflow"));
    ++m_count;
    std::shared_ptr<CTimer> timer = CTimer::create();
    timer->setOwner(m_count, m_number);
    m_timers.push_back(std::move(timer));
    return m_count;
}

void CTimers::BulkLoad(qint16 n)
{
    if (n > 199 || n < 1)
        throw ObjectError(ObjectError::ObjectErrorBase, QStringLiteral("CTimers.BulkLoad"),
                          QStringLiteral("No more than 200 times allowed per class"));
    for (int i = 0; i <= n; ++i)
        Add();
}

std::shared_ptr<CTimer> CTimers::item(qint16 Index) const
{
    if (m_count < Index)
        throw ObjectError(ObjectError::ObjectErrorBase, QStringLiteral("CTimers.Item"),
                          QStringLiteral("Index does not Exist"));
    if (Index < 1)
        throw ObjectError(5, QStringLiteral("CTimers.Item"),
                          QStringLiteral("Invalid procedure call or argument"));
    return m_timers[std::size_t(Index - 1)];
}

void CTimers::raiseTimer(qint16 index)
{
    emit Timer(index);
}

} // namespace corvanta
