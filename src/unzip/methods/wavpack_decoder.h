// ZIP method 97: the entry's data is a WavPack file. It is unpacked through libwavpack's
// stream-reader interface and written as the audio file it was made from: the stored
// header (the RIFF wrapper), the samples as little-endian PCM, and the stored trailer.
#pragma once

#include "core/stream.h"

namespace tarvo::unzip {

// Raises EVmWavPackError with the library's text when the data cannot be opened; errors
// of the input stream pass on unchanged.
void DecodeWavPack(core::TStream& input, core::TStream& output);

}  // namespace tarvo::unzip
