// The parts of an entry's output file that are the same on every system.
#include "unzip/output_file.h"

#include "core/exception.h"
#include "core/file_stream.h"

namespace tarvo::unzip {

TVmOutputFile::~TVmOutputFile() { Discard(); }

std::size_t TVmOutputFile::Read(void*, std::size_t) { throw core::EStreamError("TVmOutputFile.Read not supported"); }

std::size_t TVmOutputFile::Write(const void* buffer, std::size_t count) {
  core::WriteAll(FHandle, buffer, count);
  FWritten += count;
  FEndsInHole = false;
  return count;
}

std::int64_t TVmOutputFile::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  if (offset == 0 && origin != core::TSeekOrigin::soBeginning) return static_cast<std::int64_t>(FWritten);
  if (origin == core::TSeekOrigin::soBeginning && offset == static_cast<std::int64_t>(FWritten)) return offset;
  throw core::EStreamError("TVmOutputFile.Seek not supported");
}

}  // namespace tarvo::unzip
