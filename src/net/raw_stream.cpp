#include "net/raw_stream.h"

#include "net/error_mapping.h"
#include "net/native_socket.h"
#include "net/socket_errors.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net {

RawStream::RawStream(int descriptor, QByteArray pending, QObject* parent)
    : QObject(parent), m_fd(descriptor), m_pending(std::move(pending))
{
    // sendfile(2) has no MSG_NOSIGNAL: a peer that closed would end the
    // program with SIGPIPE instead of giving EPIPE.
    static const bool noSigPipe = [] {
        ::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    (void)noSigPipe;
    const int flags = ::fcntl(m_fd, F_GETFL);
    ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    m_read = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_write = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    connect(m_read, &QSocketNotifier::activated, this, [this] { onReadable(); });
    connect(m_write, &QSocketNotifier::activated, this, [this] { onWritable(); });
}

RawStream::~RawStream() { release(); }

void RawStream::release()
{
    delete m_read;
    delete m_write;
    m_read = m_write = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

qint64 RawStream::read(char* buffer, qint64 size)
{
    if (m_pendingPos < m_pending.size()) {
        const qint64 n = qMin<qint64>(size, m_pending.size() - m_pendingPos);
        std::memcpy(buffer, m_pending.constData() + m_pendingPos, size_t(n));
        m_pendingPos += n;
        if (m_pendingPos == m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
        }
        return n;
    }
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size_t(size));
        if (n > 0)
            return n;
        if (n == 0)
            return -1;  // the peer's orderly close
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        m_error = errorFromErrno(errno);
        if (m_error == NoError)
            m_error = ErrConnectionReset;
        return -1;
    }
}

// A send or sendfile that failed: the error it leaves (a peer gone reads as
// a reset); always -1.
qint64 RawStream::sendFailed(int err)
{
    m_error = err == EPIPE ? int(ErrConnectionReset) : errorFromErrno(err);
    if (m_error == NoError)
        m_error = ErrUnknown;
    return -1;
}

qint64 RawStream::sendFile(int fileDescriptor, qint64* offset, qint64 count)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        off_t at = off_t(*offset);
        const ssize_t n = ::sendfile(m_fd, fileDescriptor, &at, size_t(count));
        if (n > 0) {
            *offset = qint64(at);
            return n;
        }
        if (n == 0)
            return count > 0 ? kEndOfFile : 0;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return sendFailed(errno);
    }
}

qint64 RawStream::write(const char* data, qint64 size)
{
    if (m_fd < 0)
        return -1;
    for (;;) {
        const ssize_t n = ::send(m_fd, data, size_t(size), MSG_NOSIGNAL);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return sendFailed(errno);
    }
}

void RawStream::watchReadable(bool on)
{
    m_wantRead = on;
    updateNotifiers();
}

void RawStream::watchWritable(bool on)
{
    m_wantWrite = on;
    updateNotifiers();
}

void RawStream::updateNotifiers() { setNotifiers(m_wantRead, m_wantWrite); }

void RawStream::setNotifiers(bool read, bool write)
{
    if (m_read && m_read->isEnabled() != read)
        m_read->setEnabled(read);
    if (m_write && m_write->isEnabled() != write)
        m_write->setEnabled(write);
}

void RawStream::shutdownWrite()
{
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_WR);
}

void RawStream::close()
{
    release();  // the kernel sends what it holds, then the end of stream
}

void RawStream::abort()
{
    if (m_fd >= 0)
        setNativeLinger(m_fd, true, 0);  // a reset, not an orderly end
    release();
}

}  // namespace net
