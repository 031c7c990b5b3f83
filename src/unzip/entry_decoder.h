// Producing one ZIP entry's content: local header → subset of the compressed bytes →
// (decryption) → the decoder of its method → CRC-32 and size check. The decoders know
// nothing about ZIP; this is the thin container around them.
//
// Methods: 0 stored; 8 Deflate and 9 Deflate64 through Inflate; 1-6, 12, 14 and 97
// through the further methods (unzip/methods). Every other method raises
// EVmZipInvalidMethod. No decoder
// can produce more than the declared uncompressed size: the output stream stops it with
// EVmZipDataOverrun.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"
#include "unzip/archive_item.h"
#include "unzip/zip_archive.h"

namespace tarvo::unzip {

// The input stream of an entry's data: a subset stream over its compressed bytes, or a
// decrypt stream that owns one. Raises EVmZipVersion (version needed 64 or more),
// EVmZipInvalid (wrong local header signature), EVmZipInvalidPassword / EVmUserAbort
// (encrypted entries).
std::unique_ptr<core::TStream> PrepareEntryInput(TVmZipArchive& archive, TVmZipItem& item);

// Decodes the entry into destination and checks the CRC. Nothing happens for an entry of
// uncompressed size 0. A CRC mismatch raises EVmZipBadCRC.
void DecodeEntry(TVmZipArchive& archive, TVmZipItem& item, core::TStream& input, core::TStream& destination);

// Extracts an item to a file through TVmOutputFile (or creates the folder of a directory
// item), with its date and attributes. A failed extraction (CRC mismatch included) leaves
// no file and any previous file at the name untouched, and re-raises; a user abort also
// leaves the archive asInvalid. A read-only existing file is not replaced: the file
// creation error.
void ExtractEntryToFile(TVmZipArchive& archive, TVmZipItem& item, const std::string& outputName);

// Extracts an item into a stream (EVmBadStream for a missing stream).
void ExtractEntryToStream(TVmZipArchive& archive, TVmZipItem& item, core::TStream* destination);

// Tests an item: its local header must agree with the central entry (EVmZipInvalidLFH),
// then it is decoded into a stream that discards the bytes, with the CRC check.
void TestEntry(TVmZipArchive& archive, TVmZipItem& item);

}  // namespace tarvo::unzip
