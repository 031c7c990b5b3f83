// Resource strings of the further compression methods (identifiers 3100..3159).
#pragma once

#include "core/resource_string.h"

namespace tarvo::unzip {

TARVO_RESOURCESTRING(SVmWindowNotAtEnd, 3100, "TvmSlidingWindowStream.Write: Not at end of stream");
TARVO_RESOURCESTRING(SVmWindowWriteFailed, 3101, "TvmSlidingWindowStream.bsWriteChunk: write failed");
TARVO_RESOURCESTRING(SVmWindowInvalidOrigin, 3102, "TvmSlidingWindowStream.Seek: invalid origin");
TARVO_RESOURCESTRING(SVmWindowInvalidPosition, 3103, "TvmSlidingWindowStream.Seek: invalid new position");
TARVO_RESOURCESTRING(SVmLegacyDataError, 3104, "Cannot extract file - damaged compressed data (%s)");
TARVO_RESOURCESTRING(SBZError, 3110, "error %d");
TARVO_RESOURCESTRING(SBZInvalidOperation, 3111, "Invalid stream operation");
TARVO_RESOURCESTRING(SLzmaData, 3120, "LZMA Data Error.");
TARVO_RESOURCESTRING(SLzmaMemory, 3121, "LZMA Memory Error.");
TARVO_RESOURCESTRING(SLzmaCRC, 3122, "LZMA CRC Error.");
TARVO_RESOURCESTRING(SLzmaUnsupported, 3123, "LZMA \"Unsupported\" Error.");
TARVO_RESOURCESTRING(SLzmaParameter, 3124, "LZMA Parameter Error.");
TARVO_RESOURCESTRING(SLzmaInputEOF, 3125, "LZMA Input EOF Error.");
TARVO_RESOURCESTRING(SLzmaOutputEOF, 3126, "LZMA Output EOF Error.");
TARVO_RESOURCESTRING(SLzmaRead, 3127, "LZMA Read Error.");
TARVO_RESOURCESTRING(SLzmaWrite, 3128, "LZMA Write Error.");
TARVO_RESOURCESTRING(SLzmaProgress, 3129, "LZMA Progress Error.");
TARVO_RESOURCESTRING(SLzmaFail, 3130, "LZMA \"Fail\" Error.");
TARVO_RESOURCESTRING(SLzmaThread, 3131, "LZMA Thread Error.");
TARVO_RESOURCESTRING(SLzmaArchive, 3132, "LZMA Archive Error.");
TARVO_RESOURCESTRING(SLzmaNoArchive, 3133, "LZMA \"No Archive\" Error.");
TARVO_RESOURCESTRING(SLzmaUnknown, 3134, "Unknown LZMA error (%d)");
TARVO_RESOURCESTRING(SWavPackFailed, 3140, "WavPack decompression failed: %s");
TARVO_RESOURCESTRING(SPpmdUnsupported, 3150, "PPMd model not supported (order %d, restoration method %d)");
TARVO_RESOURCESTRING(SPpmdMemory, 3151, "Not enough memory for a PPMd model of %d MiB");

}  // namespace tarvo::unzip
