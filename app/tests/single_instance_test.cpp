#include "single_instance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

QString UniqueKey() {
    return QStringLiteral("test-") + QUuid::createUuid().toString();
}

TEST(SingleInstance, SecondStartHandsOverAndRaisesTheFirst) {
    const QString key = UniqueKey();
    app::SingleInstance first(key);
    ASSERT_EQ(first.TryStart(), app::SingleInstance::Start::First);
    int raised = 0;
    QObject::connect(&first, &app::SingleInstance::RaiseRequested, [&] { ++raised; });

    app::SingleInstance second(key);
    EXPECT_EQ(second.TryStart(), app::SingleInstance::Start::Handed);
    QElapsedTimer t;
    t.start();
    while (raised == 0 && t.elapsed() < 3000)
        QCoreApplication::processEvents();
    EXPECT_EQ(raised, 1);
}

TEST(SingleInstance, OtherExecutableNamesRunSideBySide) {
    app::SingleInstance a(UniqueKey()), b(UniqueKey());
    EXPECT_EQ(a.TryStart(), app::SingleInstance::Start::First);
    EXPECT_EQ(b.TryStart(), app::SingleInstance::Start::First);
}

TEST(SingleInstance, LeftoverFromAKilledInstanceDoesNotBlock) {
    const QString key = UniqueKey();
    QString name;
    {
        app::SingleInstance dead(key);
        name = dead.SocketName();
    }
    // A killed process leaves its socket file behind with nobody listening on it.
    QFile leftover(QDir::tempPath() + QLatin1Char('/') + name);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    app::SingleInstance next(key);
    EXPECT_EQ(next.TryStart(), app::SingleInstance::Start::First);
}

} // namespace
