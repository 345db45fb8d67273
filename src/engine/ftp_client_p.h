#pragma once

// Internal to the engine's source files.

#include "engine/ftp_client.h"

// Marks a public call on the stack: a refusal raised while one is running
// goes back to the caller; a refusal inside a later sequence step fails it.
struct PublicCall {
    explicit PublicCall(TFtpClient* c) : client(c) { ++client->m_publicDepth; }
    ~PublicCall() { --client->m_publicDepth; }
    PublicCall(const PublicCall&) = delete;
    PublicCall& operator=(const PublicCall&) = delete;
    TFtpClient* client;
};

// An exception inside an event handler goes to OnBgException and no further;
// the running request is left as it stands.
template <typename F>
void TFtpClient::guarded(F&& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        bool canClose = true;
        emit OnBgException(e, canClose);
    }
}
