// The soak run's judging: a wrong verdict here would let a fault through a long run unseen, or
// fail a sound product.
#include "soakchecks.h"

#include <QTest>

#include <unistd.h>

using namespace tarvisk::soak;

class TestSoakChecks : public QObject
{
    Q_OBJECT

private slots:
    void bitmaps()
    {
        QCOMPARE(bitmapOf({3, 14}), QByteArray::fromHex("0840000000000000"));
        QCOMPARE(bitmapOf({63, 0}), QByteArray::fromHex("0100000000000080"));
        QCOMPARE(bitmapOf({}), QByteArray(8, 0));
        QCOMPARE(bitmapText(bitmapOf({4})), QStringLiteral("10 00 00 00 00 00 00 00"));
    }

    void keyStatesFollowTheActionsInOrder()
    {
        const QByteArray man = bitmapOf({4}), ok = bitmapOf({4, 14}), auto_ = bitmapOf({3});
        KeyStateTracker t;
        t.resync(man);
        QVERIFY(t.settled());

        // A press and its release, both reported: settled again.
        t.expect(ok);
        QVERIFY(!t.settled());
        t.expect(man);
        QVERIFY(t.received(ok));
        QVERIFY(!t.settled());
        QVERIFY(t.received(man));
        QVERIFY(t.settled());
        // A repeat of the state matched last is no fault; the heartbeat repeats the last state.
        QVERIFY(t.received(man));
        QVERIFY(t.heartbeat(man));
        QCOMPARE(t.unexpected(), 0u);
        QCOMPARE(t.skipped(), 0u);

        // A press never reported: the release's state equals the one before the press, so it
        // reads as a repeat, and the state stays unsettled (the leg's settle wait counts it).
        t.expect(ok);
        t.expect(man);
        QVERIFY(t.received(man));
        QVERIFY(!t.settled());
        t.resync(man);
        // A change passed over on the way to a later state.
        t.expect(ok);
        t.expect(auto_);
        QVERIFY(t.received(auto_));
        QCOMPARE(t.skipped(), 1u);
        QVERIFY(t.settled());
        t.resync(man);

        // A state no action implied, and an old one coming back, are both faults.
        QVERIFY(!t.received(auto_));
        t.expect(ok);
        t.expect(man);
        QVERIFY(t.received(ok));
        QVERIFY(t.received(man));
        QVERIFY(!t.received(ok));
        QCOMPARE(t.unexpected(), 2u);

        // A heartbeat with another state than the last key state.
        QVERIFY(!t.heartbeat(auto_));
        QCOMPARE(t.badHeartbeats(), 1u);
        QCOMPARE(t.heartbeats(), 2u);

        // Taking the pendant's word: expected and received agree from there on.
        t.resync(auto_);
        QVERIFY(t.settled());
        QCOMPARE(t.expected(), auto_);
        QCOMPARE(t.lastReceived(), auto_);

        // The same state twice in the history: A B A is walked to its end, not stopped at the first A.
        t.expect(man);
        t.expect(auto_);
        QVERIFY(t.received(man));
        QVERIFY(!t.settled());
        QVERIFY(t.received(auto_));
        QVERIFY(t.settled());
    }

    void sequenceGaps()
    {
        SequenceCounter s;
        for (quint32 n : {0u, 1u, 2u, 5u, 4u, 6u, 6u})
            s.add(n);
        QCOMPARE(s.missing(), 2u); // 3 and 4 missing when 5 came; 4 then late
        QCOMPARE(s.late(), 2u);    // 4 after 5, 6 again

        // Serial-number arithmetic across the wrap.
        SequenceCounter w;
        for (quint32 n : {0xFFFFFFFEu, 0xFFFFFFFFu, 0u, 2u})
            w.add(n);
        QCOMPARE(w.missing(), 1u);
        QCOMPARE(w.late(), 0u);
    }

    void hostMessagesInOrder()
    {
        const QString x = QStringLiteral("x");
        HostSequenceChecker c(x);
        c.expectPress(14);
        c.expectRelease(14);
        QCOMPARE(c.outstanding(), 6);
        const HostMessage order[] = {{1, 14, x}, {1, 14, {}}, {2, 14, x}, {2, 14, {}}, {3, 14, x}, {3, 14, {}}};
        for (const HostMessage &m : order)
            QVERIFY(c.received(m));
        QCOMPARE(c.outstanding(), 0);
        QCOMPARE(c.mismatches(), 0u);

        // The mode switch: 2 with the new key, then 1 and 3.
        c.expectSwitch(3);
        for (const HostMessage &m : {HostMessage{2, 3, x}, HostMessage{2, 3, {}}, HostMessage{1, 3, x},
                                     HostMessage{1, 3, {}}, HostMessage{3, 3, x}, HostMessage{3, 3, {}}})
            QVERIFY(c.received(m));

        // The general copy before the addressed one: the addressed one is lost, then the rest.
        c.expectPress(7);
        QVERIFY(!c.received({1, 7, {}}));
        QCOMPARE(c.lost(), 1u);
        QCOMPARE(c.outstanding(), 0);

        // The same message twice.
        c.expectRelease(7);
        QVERIFY(c.received({2, 7, x}));
        QVERIFY(!c.received({2, 7, x}));
        QCOMPARE(c.duplicates(), 1u);
        QVERIFY(c.received({2, 7, {}}));

        // A release of another key, or the right key with the wrong number.
        QVERIFY(!c.received({3, 8, x}));
        QVERIFY(!c.received({1, 7, x}));
        QCOMPARE(c.unexpected(), 2u);

        // Giving up counts what never came.
        c.dropOutstanding();
        QCOMPARE(c.lost(), 3u);
        QCOMPARE(c.mismatches(), 6u);

        // Without a state destination only the general copies come.
        HostSequenceChecker general{QString()};
        general.expectState(1);
        general.expectRelease(4);
        QCOMPARE(general.outstanding(), 3);
        QVERIFY(general.received({0, 1, {}}));
        QVERIFY(general.received({2, 4, {}}));
        QVERIFY(general.received({3, 4, {}}));
    }

    void memoryTrend()
    {
        // One KiB a second is 60 KiB a minute.
        MemorySeries rising;
        for (int t = 0; t <= 20; t += 2)
            rising.add(t, 1000 + t);
        QCOMPARE(qRound(rising.slopeKibPerMinute()), 60);
        QCOMPARE(rising.first(), 1000);
        QCOMPARE(rising.last(), 1020);
        QCOMPARE(rising.span(), 20.0);
        QCOMPARE(rising.midpoint(), 10.0);

        // A warm-up step, then flat: the whole run slopes, its second half does not.
        MemorySeries warm;
        for (int t = 0; t <= 600; t += 3)
            warm.add(t, t < 30 ? 20000 : 40000);
        QVERIFY(warm.slopeKibPerMinute() > 0);
        QCOMPARE(warm.slopeKibPerMinute(warm.midpoint()), 0.0);

        // Noise around a flat line averages out.
        MemorySeries noisy;
        for (int t = 0; t < 300; ++t)
            noisy.add(t, 30000 + (t % 2 ? 300 : -300));
        QVERIFY(qAbs(noisy.slopeKibPerMinute()) < 5);

        MemorySeries one;
        one.add(5, 100);
        QCOMPARE(one.slopeKibPerMinute(), 0.0);
        QCOMPARE(MemorySeries().slopeKibPerMinute(), 0.0);
    }

    void residentMemoryOfAProcess()
    {
        const auto own = residentKib(getpid());
        QVERIFY(own.has_value());
        QVERIFY(*own > 100);
        QVERIFY(!residentKib(0).has_value());
        QVERIFY(!residentKib(-5).has_value());
    }
};

QTEST_GUILESS_MAIN(TestSoakChecks)
#include "test_soakchecks.moc"
