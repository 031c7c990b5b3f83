// Resource strings of the Deflate decoder (identifiers 3100..3199). They are the internal
// causes that EVmInternalInflateError carries (and EVmInflateError wraps in its outer message).
#pragma once

#include "core/resource_string.h"

namespace tarvo::unzip {

TARVO_RESOURCESTRING(SInfInvalidBlockType, 3100, "starting new block, but invalid block type [Inflate]");
TARVO_RESOURCESTRING(SInfStoredLength, 3101,
                     "invalid stored block (length and NOT length do not match) [InflateStoredBlock]");
TARVO_RESOURCESTRING(SInfTooManyLitCodes, 3102,
                     "count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]");
TARVO_RESOURCESTRING(SInfTooManyDistCodes, 3103,
                     "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]");
TARVO_RESOURCESTRING(SInfBadCodeLenSymbol, 3104, "decoded a symbol not between 0 and 18 {ReadLitDistCodeLengths}");
TARVO_RESOURCESTRING(SInfCodeLenOutOfRange, 3105, "decoded a code length out of range {ReadLitDistCodeLengths}");
TARVO_RESOURCESTRING(SInfBadLengthSymbol, 3106, "decoded an invalid length symbol: greater than 285 [DecodeData]");
TARVO_RESOURCESTRING(SInfBadDistSymbol, 3107, "decoded an invalid distance symbol: greater than 29 [DecodeData]");
TARVO_RESOURCESTRING(SInfDiscardCount, 3108, "count of bits must be between 1 and 32 inclusive [TVmDfInBitStream.DiscardBits]");
TARVO_RESOURCESTRING(SInfDiscardMore, 3109, "TVmDfInBitStream.DiscardBits: discarding more bits than peeked");
TARVO_RESOURCESTRING(SInfNoDataDiscard, 3110, "no more compressed data in stream [TVmDfInBitStream.DiscardBits]");
TARVO_RESOURCESTRING(SInfReadBitsCount, 3111, "count of bits must be between 1 and 16 inclusive [TVmDfInBitStream.ReadBits]");
TARVO_RESOURCESTRING(SInfNoDataReadBits, 3112, "no more compressed data in stream [TVmDfInBitStream.ReadBits]");
TARVO_RESOURCESTRING(SInfNoDataReadBit, 3113, "no more compressed data in stream [TVmDfInBitStream.ReadBit]");
TARVO_RESOURCESTRING(SInfNotAligned, 3114,
                     "TVmDfInBitStream.ReadBuffer. cannot read a buffer unless the stream is byte-aligned");
TARVO_RESOURCESTRING(SInfNoDataReadBuffer, 3115, "no more compressed data in stream [TVmDfInBitStream.ReadBuffer]");
TARVO_RESOURCESTRING(SInfCodeTooLong, 3116, "TVmDfDecodeHuffmanTree.Build: a code length is greater than %d");
TARVO_RESOURCESTRING(SInfDecodeTooManyBits, 3117,
                     "TVmDfDecodeHuffmanTree.Decode: trying to decode too many bits, use LookupBitLength property");
// Faults the decoder refuses before they could reach outside its buffers.
TARVO_RESOURCESTRING(SInfDistanceTooFar, 3118,
                     "decoded a distance that reaches before the start of the output [DecodeData]");
TARVO_RESOURCESTRING(SInfRepeatFirst, 3119, "repeat code 16 with no previous code length {ReadLitDistCodeLengths}");
TARVO_RESOURCESTRING(SInfRepeatPastEnd, 3120,
                     "a repeat runs past the end of the code lengths {ReadLitDistCodeLengths}");
TARVO_RESOURCESTRING(SInfOverSubscribed, 3121,
                     "more codes than their lengths allow (over-subscribed) [TVmDfDecodeHuffmanTree.Build]");
// Log lines.
TARVO_RESOURCESTRING(SInfLogStart, 3130, "INFLATING STREAM...");
TARVO_RESOURCESTRING(SInfLogNoLogging, 3131, "Need to recompile the app with UseLogging turned on");
TARVO_RESOURCESTRING(SInfLogInternalError, 3132, "Internal exception raised: %s");

}  // namespace tarvo::unzip
