// Resource strings of the archive library (identifiers 3000..3999).
#pragma once

#include "core/resource_string.h"

namespace tarvo::unzip {

TARVO_RESOURCESTRING(SVmZipVersion, 3001, "Cannot extract file - newer version required");
TARVO_RESOURCESTRING(SVmZipInvalidMethod, 3002, "Cannot extract file - unsupported compression method");
TARVO_RESOURCESTRING(SVmZipNoExtraction, 3003, "Cannot extract file - no extraction support provided");
TARVO_RESOURCESTRING(SVmZipInvalidPassword, 3004, "Cannot extract file - invalid password");
TARVO_RESOURCESTRING(SVmZipNoInsertion, 3005, "Cannot insert file - no insertion support provided");
TARVO_RESOURCESTRING(SVmZipInvalidFactor, 3006, "Invalid Reduce Factor");
TARVO_RESOURCESTRING(SVmUserAbort, 3009, "Process aborted by user");
TARVO_RESOURCESTRING(SVmArchiveBusy, 3010, "Archive is busy - cannot process new requests");
TARVO_RESOURCESTRING(SVmZipBadSpanStream, 3011, "Spanned archives must be opened as file streams");
TARVO_RESOURCESTRING(SVmZipSpanOverwrite, 3012, "Cannot update an existing spanned disk set");
TARVO_RESOURCESTRING(SVmNoSuchDirectory, 3015, "Directory does not exist");
TARVO_RESOURCESTRING(SVmBadStream, 3017, "Invalid Stream");
TARVO_RESOURCESTRING(SVmZipBadCRC, 3019, "Failed CRC Check");
TARVO_RESOURCESTRING(SVmFileNotFound, 3021, "File not found");
TARVO_RESOURCESTRING(SVmZipInvalidLFH, 3022, "Invalid Local File Header entry");
TARVO_RESOURCESTRING(SVmNoArchive, 3023, "Archive does not exist - Filename is blank");
TARVO_RESOURCESTRING(SVmZipInvalid, 3024, "Invalid file - not a PKZip file");
TARVO_RESOURCESTRING(SVmReadError, 3025, "Error reading archive");
TARVO_RESOURCESTRING(SVmUnhandledType, 3028, "Unhandled Archive Type");
TARVO_RESOURCESTRING(SVmSpanningNotSupported, 3029, "Spanning not supported by this Archive type");
TARVO_RESOURCESTRING(SVmInflateError, 3030,
                     "Vellmora inflate error, possibly a corrupted compressed stream. (Internal cause: %s)");
TARVO_RESOURCESTRING(SVmUnsafePath, 3031, "Cannot extract file - unsafe file name");
TARVO_RESOURCESTRING(SVmZipDataOverrun, 3032, "Cannot extract file - data longer than its declared size");
TARVO_RESOURCESTRING(SVmZipOverlap, 3033, "Cannot extract file - data overlaps another entry");
TARVO_RESOURCESTRING(SVmSubsetWrite, 3033, "TVmUnzipSubsetStream.Write not supported");
TARVO_RESOURCESTRING(SVmOutputRead, 3034, "TVmUnzipOutputStream.Read not supported");
TARVO_RESOURCESTRING(SVmDecryptWrite, 3035, "TVmDfDecryptStream.Write: the stream is read-only");
TARVO_RESOURCESTRING(SVmDecryptNotVerified, 3036, "TVmDfDecryptStream.Read: the stream header has not been verified");
TARVO_RESOURCESTRING(SVmDecodeBeforeVerify, 3037, "TVmZipDecryptEngine.Decode: must successfully call VerifyHeader first");
TARVO_RESOURCESTRING(SVmNeedPassphrase, 3038, "TVmZipDecryptEngine.VerifyHeader: need a passphrase");
TARVO_RESOURCESTRING(SVmInsertLastDisk, 3039, "Insert the last disk in the spanned disk set");
TARVO_RESOURCESTRING(SVmInsertNthDisk, 3040, "Insert disk number %d of the spanned disk set");
TARVO_RESOURCESTRING(SVmInsertFloppy, 3041, "Insert floppy");
TARVO_RESOURCESTRING(SVmGzipBadCRC, 3042, "Bad CRC");
TARVO_RESOURCESTRING(SVmGzipBadSize, 3043, "Bad File Size");
TARVO_RESOURCESTRING(SVmNotCreated, 3044, "Cannot extract file - links, devices and pipes are not created: %s");
TARVO_RESOURCESTRING(SVmSparseMap, 3045, "Cannot extract file - damaged sparse file map");
TARVO_RESOURCESTRING(SVmContentTooLarge, 3047, "Compressed content larger than its archive can hold");
TARVO_RESOURCESTRING(SVmSparseTooLarge, 3046, "Cannot extract file - sparse file larger than its stored data allows");

}  // namespace tarvo::unzip
