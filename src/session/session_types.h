#pragma once

// The engine's value types that the session's API names: the TLS mode of a
// connection and the certificate a server presents. The front ends include
// this, never the engine's headers, so what they may use of the engine is
// the session's choice.

#include "engine/ftp_tls.h"
