#pragma once

#include "idnsresolver.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct ares_mx_reply;

namespace corvanta {

// What the resolver makes of DNS names and answers once c-ares has parsed
// them: kept apart from the channel so that it can be fed any answer without
// a network. Pure functions, safe on any thread.

// One MX record: preference, exchange ("" for the root, which names no host).
using MxRecord = QPair<int, QString>;

// The domain in the ASCII form DNS needs; empty when it cannot be one.
QByteArray dnsQueryName(const QString& domain);

// The records of a parsed MX answer, in the order the server gave them.
QList<MxRecord> mxRecordsFrom(const ares_mx_reply* reply);

// Ascending preference, equal preferences in the server's order, root
// exchanges left out. Throws ComponentException (ARES_ENODATA) when every
// record is a root exchange: the domain publishes a null MX.
IDnsResolver::MxLists orderMxRecords(QList<MxRecord> records);

} // namespace corvanta
