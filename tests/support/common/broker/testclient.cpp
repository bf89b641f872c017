// A second client process for the broker tests: creates N test objects, prints
// the server's process id, then holds the objects until its input closes (or
// it is killed, which is the point of some tests).
#include "remoteobject.h"
#include "testobject.h"

#include <QCoreApplication>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<std::unique_ptr<corvanta::RemoteObject>> objects;
    try {
        for (int i = 0; i < count; ++i)
            objects.push_back(corvanta::RemoteObject::create(
                QString::fromLatin1(corvanta::testobject::ClassName)));
        const qint64 pid = objects.front()->call(corvanta::testobject::Pid).toLongLong();
        std::printf("pid %lld\n", static_cast<long long>(pid));
    } catch (const corvanta::BrokerException& e) {
        std::printf("error %d %s\n", e.error().number, e.what());
        return 1;
    }
    std::fflush(stdout);
    char buffer[64];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    return 0;
}
