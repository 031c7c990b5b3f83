// Resource strings of the core library. Identifiers 1..99 belong to core; each library
// keeps its own range (net 1000.., http 2000.., unzip 3000.., i18n 4000.., wizard 5000..,
// tls 6000..).
#pragma once

#include "core/resource_string.h"

namespace tarvo::core {

TARVO_RESOURCESTRING(SReadError, 1, "Stream read error");
TARVO_RESOURCESTRING(SWriteError, 2, "Stream write error");
TARVO_RESOURCESTRING(SFCreateErrorEx, 3, "Cannot create file \"%s\". %s");
TARVO_RESOURCESTRING(SFOpenErrorEx, 4, "Cannot open file \"%s\". %s");
TARVO_RESOURCESTRING(SInOutError, 5, "I/O error %d");
TARVO_RESOURCESTRING(SStreamSetSize, 6, "Stream size error");

// The operating system's reasons a user meets when files cannot be made or read, worded
// as the C library words them, so that they translate with the message around them.
TARVO_RESOURCESTRING(SSysENOENT, 20, "No such file or directory");
TARVO_RESOURCESTRING(SSysEACCES, 21, "Permission denied");
TARVO_RESOURCESTRING(SSysEPERM, 22, "Operation not permitted");
TARVO_RESOURCESTRING(SSysENOSPC, 23, "No space left on device");
TARVO_RESOURCESTRING(SSysEDQUOT, 24, "Disk quota exceeded");
TARVO_RESOURCESTRING(SSysEROFS, 25, "Read-only file system");
TARVO_RESOURCESTRING(SSysEEXIST, 26, "File exists");
TARVO_RESOURCESTRING(SSysEISDIR, 27, "Is a directory");
TARVO_RESOURCESTRING(SSysENOTDIR, 28, "Not a directory");
TARVO_RESOURCESTRING(SSysENAMETOOLONG, 29, "File name too long");
TARVO_RESOURCESTRING(SSysEMFILE, 30, "Too many open files");
TARVO_RESOURCESTRING(SSysEIO, 31, "Input/output error");
TARVO_RESOURCESTRING(SSysEBUSY, 32, "Device or resource busy");
TARVO_RESOURCESTRING(SSysETXTBSY, 33, "Text file busy");

}  // namespace tarvo::core
