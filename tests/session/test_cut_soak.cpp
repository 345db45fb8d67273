// A soak of cut connections: a 20 MiB download and a 20 MiB upload through a
// relay that cuts the control or the data connection at random bytes, 25
// times each, with reconnection on. After every cut the session reconnects
// (or the person retries the failed entry) and the file resumes. Whenever the
// queue says a file is done it is byte-identical: a cut never passes for the
// end of a file.
//
// The cuts come from a fixed seed so a failure can be replayed; set
// GLIMMER_SOAK_SEED to try others.

#include "session_harness.h"

#include "support/fault_relay.h"
#include "support/pyftp_server.h"

#include <QRandomGenerator>

using testsupport::FaultRelay;
using testsupport::PyFtpServer;

namespace {

constexpr qint64 kFileSize = 20 << 20;
constexpr int kCutsEach = 25;

FolderEntry fileRow(const QString& name, qint64 size)
{
    FolderEntry f;
    f.name = name;
    f.entry.size = size;
    return f;
}

}  // namespace

class TestCutSoak : public QObject {
    Q_OBJECT

    quint32 m_seed = 20261208;

    // One cut, chosen at random: mostly the data connection in the way the
    // file flows, sometimes the control connection either way. A data cut
    // comes within the first 700 KiB of a connection, so 25 of them fall
    // well inside a 20 MiB file that resumes after each.
    FaultRelay::Rule randomCut(QRandomGenerator& rng, bool upload)
    {
        FaultRelay::Rule rule;
        if (rng.bounded(10) < 7) {
            rule.channel = FaultRelay::Channel::Data;
            rule.direction = upload ? FaultRelay::Direction::ToServer : FaultRelay::Direction::ToClient;
            rule.atByte = rng.bounded(700 * 1024);
            // A truncated upload is one the client cannot tell from a whole
            // one (the relay swallows the rest and the server says 226); a
            // server doing that is a liar, not a cut.
            const int kinds = upload ? 2 : 3;
            rule.fault = std::array{FaultRelay::Fault::Close, FaultRelay::Fault::Reset,
                                    FaultRelay::Fault::Truncate}[rng.bounded(kinds)];
        } else {
            rule.channel = FaultRelay::Channel::Control;
            rule.direction = rng.bounded(2) ? FaultRelay::Direction::ToServer : FaultRelay::Direction::ToClient;
            rule.atByte = rng.bounded(200);  // counted from the start of that control connection
            rule.fault = rng.bounded(2) ? FaultRelay::Fault::Close : FaultRelay::Fault::Reset;
        }
        return rule;
    }

    // Cuts one file kCutsEach times and sees it to its end: after each cut
    // the session reconnects by itself or, when the entry failed on a
    // session that stayed, the person retries it. `queued` adds the entry,
    // `whole` compares the target with the source.
    void soak(Harness& h, FaultRelay& relay, QRandomGenerator& rng, bool upload, const std::function<void()>& queued,
              const std::function<bool()>& whole)
    {
        queued();
        h.s->acQueueTransfer();
        int cuts = 0;
        int retries = 0;
        int armedAt = -1;  // the number of relay events when the pending cut was set
        // A cut that fired is taken off before anything reconnects or
        // retries: each armed cut hits one connection.
        auto disarmIfFired = [&] {
            if (armedAt >= 0 && relay.events().size() > armedAt) {
                relay.setRules({});
                armedAt = -1;
                ++cuts;
            }
        };
        while (!h.s->transferQueue().isEmpty()) {
            disarmIfFired();
            if (h.s->isConnectIdle()) {
                h.platform.advance(2);  // the reconnection delay passes
                QVERIFY2(QTest::qWaitFor([&] { return !h.s->isConnectIdle(); }, 30000), qPrintable(h.dump()));
                continue;
            }
            if (h.s->transferQueue().failedCount() > 0) {
                QVERIFY2(++retries <= 3 * kCutsEach, qPrintable(h.dump()));
                QVERIFY2(QTest::qWaitFor([&] { return h.idle() || h.s->isConnectIdle(); }, 60000),
                         qPrintable(h.dump()));
                if (h.s->isConnectIdle())
                    continue;
                h.s->retryFailedTransfers();
                h.s->acQueueTransfer();
                continue;
            }
            if (armedAt < 0 && cuts < kCutsEach) {
                armedAt = relay.events().size();
                relay.setRules({randomCut(rng, upload)});
            }
            QVERIFY2(QTest::qWaitFor(
                         [&] {
                             return (armedAt >= 0 && relay.events().size() > armedAt) ||
                                    h.s->transferQueue().isEmpty() || h.s->isConnectIdle() ||
                                    h.s->transferQueue().failedCount() > 0;
                         },
                         60000),
                     qPrintable(h.dump()));
        }
        disarmIfFired();
        relay.setRules({});
        // The queue ends only with the file done: it must be whole.
        QVERIFY2(whole(), qPrintable(h.dump()));
        QVERIFY2(cuts == kCutsEach, qPrintable(QString("only %1 cuts fired").arg(cuts)));
    }

private slots:
    void initTestCase()
    {
        const QByteArray seed = qgetenv("GLIMMER_SOAK_SEED");
        if (!seed.isEmpty())
            m_seed = seed.toUInt();
        qInfo("seed %u", m_seed);
    }

    void cutsNeverPassForTheEndOfAFile()
    {
        PyFtpServer server;
        const QByteArray down = randomBytes(kFileSize, m_seed);
        const QByteArray up = randomBytes(kFileSize, m_seed + 1);
        QVERIFY(writeFile(server.root() + "/down.bin", down));
        QVERIFY2(server.start(), qPrintable(server.errorString()));
        FaultRelay relay;
        QVERIFY2(relay.start(server.port()), qPrintable(relay.errorString()));

        Harness h;
        // Each armed cut is counted on the one connection that moves the
        // file (the transfer connections' losses are tested on their own).
        h.s->settings().sSimultaneousTransfers = 1;
        h.s->settings().sRetries = 1000;
        h.s->settings().sRetryDelay = 1;
        h.s->settings().sXferPromptForAction = false;
        h.s->settings().sXferAction = 1;  // an existing target is resumed
        h.s->setQueueAlwaysActive(true);
        QVERIFY2(h.connect(relay.port(), "test", "secret"), qPrintable(h.dump()));
        QVERIFY(writeFile(h.local("up.bin"), up));
        QRandomGenerator rng(m_seed);

        soak(
            h, relay, rng, false, [&] { h.s->receive({fileRow("down.bin", down.size())}); },
            [&] { return readFile(h.local("down.bin")) == down; });
        if (QTest::currentTestFailed())
            return;
        soak(
            h, relay, rng, true,
            [&] {
                SessionInspector::transfers(*h.s).AddToTransferQueue(h.local("up.bin"), "/up.bin", up.size(), false,
                                                                     false, true);
            },
            [&] { return readFile(server.root() + "/up.bin") == up; });
        qInfo("%s", qPrintable(relay.events().join("\n")));
    }
};

QTEST_MAIN(TestCutSoak)
#include "test_cut_soak.moc"
