#include "acceptall.h"

#include <QRandomGenerator>
#include <utility>

namespace corvanta {

AcceptAllProbes::Answer AcceptAllProbes::accepted(QStringView address, qsizetype item)
{
    const QString domain = domainOf(address);
    auto it = m_domains.find(domain);
    if (it == m_domains.end()) {
        it = m_domains.insert(domain, Domain{});
        m_toSend.push_back(madeUpAddress(domain));
        ++m_outstanding;
        ++m_started;
    }
    switch (it->state) {
    case State::AcceptsAll:
        return Answer::AcceptsAll;
    case State::Selective:
        return Answer::Selective;
    case State::Probing:
        break;
    }
    it->held.push_back(item);
    return Answer::Held;
}

std::optional<QString> AcceptAllProbes::nextProbe()
{
    if (m_toSend.empty())
        return std::nullopt;
    QString probe = std::move(m_toSend.front());
    m_toSend.pop_front();
    return probe;
}

std::vector<qsizetype> AcceptAllProbes::probeEnded(QStringView probeAddress, bool accepted)
{
    const auto it = m_domains.find(domainOf(probeAddress));
    if (it == m_domains.end() || it->state != State::Probing)
        return {};
    --m_outstanding;
    it->state = accepted ? State::AcceptsAll : State::Selective;
    return std::exchange(it->held, {});
}

void AcceptAllProbes::clear()
{
    m_domains.clear();
    m_toSend.clear();
    m_outstanding = 0;
    m_started = 0;
}

QString AcceptAllProbes::domainOf(QStringView address)
{
    return address.mid(address.lastIndexOf(u'@') + 1).toString().toLower();
}

QString AcceptAllProbes::madeUpAddress(const QString& domain)
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    constexpr int kLength = 20;
    QString address(kLength, Qt::Uninitialized);
    QRandomGenerator* random = QRandomGenerator::global();
    for (QChar& c : address)
        c = QLatin1Char(kAlphabet[random->bounded(int(sizeof kAlphabet - 1))]);
    return address + u'@' + domain;
}

} // namespace corvanta
