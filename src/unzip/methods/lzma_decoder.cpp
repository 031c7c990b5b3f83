#include "unzip/methods/lzma_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" {
#include <lzma/LzmaDec.h>
}

#include "unzip/byte_order.h"
#include "unzip/methods/method_errors.h"

namespace tarvo::unzip {

namespace {

constexpr std::size_t kInBlock = 64 * 1024;
// The dictionary starts this small and doubles as output arrives.
constexpr std::size_t kFirstDictionary = 64 * 1024;

void* LzmaAlloc(void*, size_t size) { return std::malloc(size); }
void LzmaFree(void*, void* address) { std::free(address); }
ISzAlloc gLzmaAlloc = {LzmaAlloc, LzmaFree};

struct TProbsGuard {
  CLzmaDec* Dec;
  ~TProbsGuard() { LzmaDec_FreeProbs(Dec, &gLzmaAlloc); }
};

}  // namespace

void DecodeLzma(core::TStream& input, core::TStream& output, std::uint64_t size, std::uint64_t dictionaryBudget) {
  std::uint8_t header[4 + LZMA_PROPS_SIZE];
  input.ReadBuffer(header, 4);
  if (GetLE16(header + 2) != LZMA_PROPS_SIZE) throw EVmLZMAException(SZ_ERROR_UNSUPPORTED);
  const std::uint8_t* props = header + 4;
  input.ReadBuffer(header + 4, LZMA_PROPS_SIZE);

  CLzmaProps decoded;
  SRes result = LzmaProps_Decode(&decoded, props, LZMA_PROPS_SIZE);
  if (result != SZ_OK) throw EVmLZMAException(result);
  // No match can reach further back than the dictionary, nor before the first byte.
  const std::uint64_t needed = std::max<std::uint64_t>(1, std::min<std::uint64_t>(decoded.dicSize, size));
  if (needed > dictionaryBudget) throw EVmLZMAException(SZ_ERROR_MEM);

  CLzmaDec dec;
  LzmaDec_Construct(&dec);
  result = LzmaDec_AllocateProbs(&dec, props, LZMA_PROPS_SIZE, &gLzmaAlloc);
  if (result != SZ_OK) throw EVmLZMAException(result);
  TProbsGuard guard{&dec};

  // The dictionary is our own buffer. Before it first wraps, every match source lies
  // below the write position, so it may be moved to a larger buffer between calls.
  std::size_t capacity = static_cast<std::size_t>(std::min<std::uint64_t>(needed, kFirstDictionary));
  std::unique_ptr<std::uint8_t[]> dictionary(new std::uint8_t[capacity]);
  dec.dic = dictionary.get();
  dec.dicBufSize = capacity;
  LzmaDec_Init(&dec);

  std::unique_ptr<std::uint8_t[]> inBuf(new std::uint8_t[kInBlock]);
  std::size_t inPos = 0, inLen = 0;
  bool inputEnded = false;
  std::uint64_t remaining = size;
  while (remaining > 0) {
    if (inPos == inLen && !inputEnded) {
      inLen = input.Read(inBuf.get(), kInBlock);
      inPos = 0;
      inputEnded = inLen == 0;
    }
    if (dec.dicPos == dec.dicBufSize) {
      if (dec.dicBufSize < needed) {
        std::size_t grown = static_cast<std::size_t>(std::min<std::uint64_t>(needed, std::uint64_t{capacity} * 2));
        std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[grown]);
        std::memcpy(larger.get(), dictionary.get(), dec.dicPos);
        dictionary = std::move(larger);
        capacity = grown;
        dec.dic = dictionary.get();
        dec.dicBufSize = capacity;
      } else {
        dec.dicPos = 0;
      }
    }
    const SizeT start = dec.dicPos;
    const SizeT limit = static_cast<SizeT>(std::min<std::uint64_t>(dec.dicBufSize - start, remaining));
    const ELzmaFinishMode finish = limit == remaining ? LZMA_FINISH_END : LZMA_FINISH_ANY;
    SizeT consumed = inLen - inPos;
    ELzmaStatus status;
    result = LzmaDec_DecodeToDic(&dec, start + limit, inBuf.get() + inPos, &consumed, finish, &status);
    inPos += consumed;
    const std::size_t produced = dec.dicPos - start;
    if (produced > 0) {
      if (output.Write(dec.dic + start, produced) != produced) throw EVmLZMAException(SZ_ERROR_WRITE);
      remaining -= produced;
    }
    // Once the declared size is out, the CRC check judges what follows it.
    if (remaining == 0) break;
    if (result != SZ_OK) throw EVmLZMAException(result);
    if (status == LZMA_STATUS_FINISHED_WITH_MARK) break;
    if (consumed == 0 && produced == 0) {
      if (inputEnded) break;
      throw EVmLZMAException(SZ_ERROR_DATA);
    }
  }
}

}  // namespace tarvo::unzip
