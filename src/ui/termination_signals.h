#pragma once

// SIGTERM, SIGINT and SIGHUP (a logout, `kill`, Ctrl+C in the terminal that
// started the program) as an ordinary Qt signal on the event loop, so that
// the program can save its settings and sites and end as if its window had
// been closed. The handler itself only writes the signal's number into a
// socket pair (nothing else is safe inside a signal handler); a socket
// notifier on the other end reads it on the event loop. One instance at a
// time; elsewhere than on Unix it does nothing.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    // Puts the default handlers back.
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
