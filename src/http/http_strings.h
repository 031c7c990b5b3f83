// Resource strings of the HTTP client. Identifiers 2000..2999 belong to this library.
#pragma once

#include "core/resource_string.h"

namespace tarvo::http {

TARVO_RESOURCESTRING(SURIProtocolEmpty, 2000, "Protocol field is empty");
TARVO_RESOURCESTRING(SURIHostEmpty, 2001, "Host field is empty");
TARVO_RESOURCESTRING(SUnknownProtocol, 2002, "Unknown Protocol");
TARVO_RESOURCESTRING(SMethodRequiresVersion, 2003, "Request method requires HTTP version 1.1");
TARVO_RESOURCESTRING(SIOHandlerPropInvalid, 2004, "IOHandler value is not valid");
TARVO_RESOURCESTRING(SReadTimeout, 2005, "Read timed out.");
TARVO_RESOURCESTRING(SChunkStarted, 2006, "Chunk Started");
// Refusals that keep hostile input from reaching the wire or the disk.
TARVO_RESOURCESTRING(SInvalidRequestText, 2010,
                     "The URL or a header value contains a line break or a NUL character");
TARVO_RESOURCESTRING(SInvalidChunkSize, 2011, "Invalid chunk size in the response body");
TARVO_RESOURCESTRING(STooManyHeaderLines, 2012, "Too many header lines in the response");
TARVO_RESOURCESTRING(SHeaderTooLong, 2013, "Response headers are too long");
TARVO_RESOURCESTRING(SBodyTooLarge, 2014, "The response body is too large to keep in memory");
TARVO_RESOURCESTRING(SInvalidContentLength, 2015, "Invalid Content-Length in the response");
TARVO_RESOURCESTRING(SNulInResponseHead, 2016, "The response head contains a NUL character");
TARVO_RESOURCESTRING(SNoStatusLine, 2017, "The server sent an empty line instead of a status line");
TARVO_RESOURCESTRING(STooManyInterimResponses, 2018, "Too many informational responses before the final one");
TARVO_RESOURCESTRING(SInvalidPort, 2019, "Invalid port number in the URL");

}  // namespace tarvo::http
