#pragma once

// A connected TCP stream used straight on its descriptor, for bulk data: a
// download reads into the caller's one buffer, an upload hands the file to
// the kernel with sendfile(2). No socket buffers of our own and no copies
// in between. Non-blocking; the event loop says when the stream is readable
// or writable (QSocketNotifier).
//
// Made from an AsyncSocket's connection (AsyncSocket::takeStream), after
// whatever that socket had set up (a SOCKS handshake, say). TlsStream
// (tls_stream.h) runs TLS on such a stream.

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace net {

class RawStream : public QObject {
    Q_OBJECT
public:
    // Takes over `descriptor` (closed with the stream). `pending` is what was
    // received before and is read first.
    RawStream(int descriptor, QByteArray pending, QObject* parent = nullptr);
    ~RawStream() override;

    // Up to `size` bytes into `buffer`. Returns the count, 0 when nothing is
    // there yet (wait for readable), -1 at the end of the stream (the peer
    // closed; error() tells whether by a reset).
    virtual qint64 read(char* buffer, qint64 size);
    // Sends up to `size` bytes of `data`. Returns the count, 0 when the
    // connection takes nothing now (wait for writable; call again with the
    // same bytes), -1 on an error (error()).
    virtual qint64 write(const char* data, qint64 size);

    // Sends up to `count` bytes of the file at *offset (advanced by what was
    // sent). Returns the count, 0 when the connection takes nothing now
    // (wait for writable), -1 on an error (error()), kEndOfFile when the
    // file has nothing at *offset (it became shorter).
    static constexpr qint64 kEndOfFile = -2;
    qint64 sendFile(int fileDescriptor, qint64* offset, qint64 count);

    // What the owner waits for; readable() and writable() follow.
    void watchReadable(bool on);
    void watchWritable(bool on);

    // False while the stream is still being set up (a TLS handshake): it
    // can be neither read nor written yet.
    virtual bool ready() const { return true; }
    virtual bool isEncrypted() const { return false; }

    // Our direction ends (the peer reads the end of the stream after what
    // was sent); what the peer sends can still be read.
    void shutdownWrite();
    // Everything sent goes out, then the end of the stream. The stream
    // cannot be used afterwards.
    virtual void close();
    // Ends the connection at once (a reset).
    virtual void abort();

    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }  // socket_errors.h numbers; 0 none

signals:
    void readable();
    void writable();

protected:
    int descriptor() const { return m_fd; }
    void setError(int error) { m_error = error; }
    bool readWanted() const { return m_wantRead; }
    bool writeWanted() const { return m_wantWrite; }
    // Sets the readiness notices the stream needs now; by default what the
    // owner waits for.
    virtual void updateNotifiers();
    void setNotifiers(bool read, bool write);
    // The descriptor is readable or writable.
    virtual void onReadable() { emit readable(); }
    virtual void onWritable() { emit writable(); }
    void release();

private:
    qint64 sendFailed(int err);

    int m_fd = -1;
    QByteArray m_pending;
    qsizetype m_pendingPos = 0;
    int m_error = 0;
    bool m_wantRead = false;
    bool m_wantWrite = false;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
};

}  // namespace net
