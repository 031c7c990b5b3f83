// Resource strings of the TLS handler. Identifiers 6000..6999 belong to this library.
#pragma once

#include "core/resource_string.h"

namespace tarvo::tls {

TARVO_RESOURCESTRING(STlsUntrusted, 6000, "The certificate of %s is not issued by a trusted authority");
TARVO_RESOURCESTRING(STlsSelfSigned, 6001, "The certificate of %s is self-signed");
TARVO_RESOURCESTRING(STlsNameMismatch, 6002, "The certificate is not valid for %s");
TARVO_RESOURCESTRING(STlsExpired, 6003, "The certificate of %s has expired");
TARVO_RESOURCESTRING(STlsNotYetValid, 6004, "The certificate of %s is not valid yet");
TARVO_RESOURCESTRING(STlsRevoked, 6005, "The certificate of %s has been revoked");
TARVO_RESOURCESTRING(STlsCertificateOther, 6006, "The certificate of %s was refused");
TARVO_RESOURCESTRING(STlsHandshakeFailed, 6010, "The secure connection to %s failed: %s");
TARVO_RESOURCESTRING(STlsTruncated, 6011, "The secure connection was cut off before the server ended it");
TARVO_RESOURCESTRING(STlsRecordFailed, 6012, "The secure connection failed: %s");
TARVO_RESOURCESTRING(STlsLibraryMissing, 6013, "The system's TLS library could not be loaded");
TARVO_RESOURCESTRING(STlsCAFileUnreadable, 6014, "The certificate file %s cannot be read");

}  // namespace tarvo::tls
