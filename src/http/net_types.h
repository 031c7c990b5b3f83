// The transport types the HTTP layer names, brought into this namespace.
#pragma once

#include "net/net_encoding.h"
#include "net/net_exception.h"
#include "net/net_types.h"

namespace tarvo::http {
using net::ENetException;
using net::INetTextEncoding;
using net::Net_IPv4;
using net::Net_IPv6;
using net::TNetIPVersion;
}  // namespace tarvo::http
