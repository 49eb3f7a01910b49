// The throttled event pump, the busy guard and the folder trees paused by a run.
#include "FakePlatform.h"

#include "widgets/BusyGuard.h"
#include "widgets/EventPump.h"
#include "widgets/FolderWatchers.h"

#include <QApplication>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace vexlo;
using vexlo::test::FakePlatform;

class WindowHelpersTest : public QObject {
    Q_OBJECT

  private slots:
    void aPassComesOncePerInterval()
    {
        FakePlatform platform{ProgramFolder("/nonexistent")};
        platform.now = 1000;
        EventPump pump(platform);
        QVERIFY(!pump.due()); // the first pass waits a whole interval
        platform.now = 1029;
        QVERIFY(!pump.due());
        platform.now = 1030;
        QVERIFY(pump.due());
        QCOMPARE(pump.lastPassAt(), qint64(1030));
        QVERIFY(!pump.due()); // and the interval starts again
        platform.now = 1060;
        QVERIFY(pump.due());
        platform.now = 2000;
        pump.restart();
        QVERIFY(!pump.due());
    }

    void theFirstPassCanComeAtOnce()
    {
        FakePlatform platform{ProgramFolder("/nonexistent")};
        platform.now = 5;
        EventPump pump(platform, 100, EventPump::First::AtOnce);
        QVERIFY(pump.due());
        platform.now = 104;
        QVERIFY(!pump.due());
        platform.now = 105;
        QVERIFY(pump.due());
    }

    void aPumpThatIsDueLetsPendingEventsIn()
    {
        FakePlatform platform{ProgramFolder("/nonexistent")};
        EventPump pump(platform, 30, EventPump::First::AtOnce);
        bool delivered = false;
        QTimer::singleShot(0, this, [&] { delivered = true; });
        QVERIFY(pump.pump());
        QVERIFY(delivered);
        delivered = false;
        QTimer::singleShot(0, this, [&] { delivered = true; });
        QVERIFY(!pump.pump()); // not due: the event waits
        QVERIFY(!delivered);
        QCoreApplication::processEvents();
    }

    void aSecondStartIsTurnedAwayAndTheMarkClearsHoweverTheActionEnds()
    {
        bool busy = false;
        {
            BusyGuard first(busy);
            QVERIFY(first);
            QVERIFY(busy);
            BusyGuard second(busy);
            QVERIFY(!second);
            QVERIFY(busy); // the second guard leaves the first one's mark alone
        }
        QVERIFY(!busy);
        try {
            BusyGuard guard(busy, BusyGuard::Cursor::Busy);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
            throw std::runtime_error("the action failed");
        } catch (const std::runtime_error &) {
        }
        QVERIFY(!busy);
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void releaseClearsTheMarkEarlyOnce()
    {
        bool busy = false;
        BusyGuard guard(busy, BusyGuard::Cursor::Busy);
        guard.release();
        QVERIFY(!busy);
        QVERIFY(!QGuiApplication::overrideCursor());
        BusyGuard next(busy); // a new action may start now
        QVERIFY(next);
        guard.release(); // a second release leaves the new mark alone
        QVERIFY(busy);
    }

    // A pause stops the trees that watch and restores exactly those, also when one of them is
    // deleted meanwhile; a tree that did not watch is left alone.
    void aPauseStopsTheWatchingTreesAndRestoresThem()
    {
        QFileSystemModel watching, notWatching;
        auto deleted = std::make_unique<QFileSystemModel>();
        notWatching.setOption(QFileSystemModel::DontWatchForChanges, true);
        FolderWatchers watchers;
        watchers.add(watching);
        watchers.add(watching); // once only
        watchers.add(notWatching);
        watchers.add(*deleted);
        QCOMPARE(watchers.models().size(), std::size_t(3));
        {
            const FolderWatchers::Pause pause(watchers);
            QVERIFY(watching.testOption(QFileSystemModel::DontWatchForChanges));
            QVERIFY(deleted->testOption(QFileSystemModel::DontWatchForChanges));
            deleted.reset();
            QCOMPARE(watchers.models().size(), std::size_t(2));
        }
        QVERIFY(!watching.testOption(QFileSystemModel::DontWatchForChanges));
        QVERIFY(notWatching.testOption(QFileSystemModel::DontWatchForChanges));

        // Already paused by an outer pause: the inner one leaves the restoring to it.
        {
            const FolderWatchers::Pause outer(watchers);
            {
                const FolderWatchers::Pause inner(watchers);
            }
            QVERIFY(watching.testOption(QFileSystemModel::DontWatchForChanges));
        }
        QVERIFY(!watching.testOption(QFileSystemModel::DontWatchForChanges));
    }
};

QTEST_MAIN(WindowHelpersTest)
#include "tst_windowhelpers.moc"
