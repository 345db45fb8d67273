// The data channel: PORT/PASV, REST, and the transfers over the data
// connection.

#include "engine/ftp_client.h"
#include "engine/ftp_client_p.h"

#include <QFile>

void TFtpClient::stepPort() { refuse("Data connections are not available yet"); }
void TFtpClient::stepRest() { refuse("Data connections are not available yet"); }
void TFtpClient::stepGet() { refuse("Data connections are not available yet"); }
void TFtpClient::stepPut() { refuse("Data connections are not available yet"); }
void TFtpClient::stepAppend() { refuse("Data connections are not available yet"); }
void TFtpClient::stepDir() { refuse("Data connections are not available yet"); }
void TFtpClient::stepLs() { refuse("Data connections are not available yet"); }

void TFtpClient::closeLocalFile()
{
    if (m_localFile) {
        m_localFile->close();
        delete m_localFile;
        m_localFile = nullptr;
    }
}

void TFtpClient::dropDataSockets()
{
    for (net::AsyncSocket** s : {&m_data, &m_listener}) {
        if (*s) {
            (*s)->disconnect(this);
            (*s)->abort();
            (*s)->deleteLater();
            *s = nullptr;
        }
    }
}

void TFtpClient::closeDataSocket()
{
    if (m_data)
        m_data->close();
}
