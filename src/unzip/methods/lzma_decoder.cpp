#include "unzip/methods/lzma_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

extern "C" {
#include "7zVersion.h"
#include "LzmaDec.h"
}

#include "core/scope_guard.h"
#include "unzip/byte_order.h"
#include "unzip/methods/method_errors.h"

namespace tarvo::unzip {

namespace {

constexpr std::size_t kInBlock = 64 * 1024;
// The dictionary starts this small and doubles as output arrives.
constexpr std::size_t kFirstDictionary = 64 * 1024;
// The largest dictionary kept for the thread's next entry. Fresh pages for every entry of
// a many-entry archive cost a tenth of the decoding time in page faults; a bound keeps an
// idle program from holding on to a large one.
constexpr std::size_t kKeptDictionary = 16 * 1024 * 1024;

// The history buffer, on loan from the thread's spare while an entry decodes.
struct TDictionary {
  std::unique_ptr<std::uint8_t[]> Data;
  std::size_t Capacity = 0;
};
thread_local TDictionary tSpareDictionary;

struct TDictionaryLoan {
  TDictionary Dictionary = std::exchange(tSpareDictionary, {});
  ~TDictionaryLoan() {
    if (Dictionary.Capacity <= kKeptDictionary && Dictionary.Capacity > tSpareDictionary.Capacity)
      tSpareDictionary = std::move(Dictionary);
  }
};

// The SDK's allocator interface: the current SDK passes the interface itself as a pointer to
// const, the older one (lzma-dev's, the fallback) as a plain pointer.
template <class TSelf>
void* LzmaAlloc(TSelf, size_t size) {
  return std::malloc(size);
}
template <class TSelf>
void LzmaFree(TSelf, void* address) {
  std::free(address);
}
ISzAlloc gLzmaAlloc = {LzmaAlloc, LzmaFree};

}  // namespace

const char* LzmaSdkVersion() noexcept { return MY_VERSION; }

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
  core::TScopeGuard freeProbs([&dec] { LzmaDec_FreeProbs(&dec, &gLzmaAlloc); });

  // The dictionary is our own buffer. Before it first wraps, every match source lies
  // below the write position, so it may be moved to a larger buffer between calls.
  TDictionaryLoan loan;
  TDictionary& dictionary = loan.Dictionary;
  dec.dic = dictionary.Data.get();
  dec.dicBufSize = static_cast<std::size_t>(
      std::min<std::uint64_t>(needed, std::max<std::size_t>(dictionary.Capacity, kFirstDictionary)));
  if (dec.dicBufSize > dictionary.Capacity) {
    dictionary = {std::unique_ptr<std::uint8_t[]>(new std::uint8_t[dec.dicBufSize]), dec.dicBufSize};
    dec.dic = dictionary.Data.get();
  }
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
        const std::size_t grown =
            static_cast<std::size_t>(std::min<std::uint64_t>(needed, std::uint64_t{dec.dicBufSize} * 2));
        std::unique_ptr<std::uint8_t[]> larger(new std::uint8_t[grown]);
        std::memcpy(larger.get(), dictionary.Data.get(), dec.dicPos);
        dictionary = {std::move(larger), grown};
        dec.dic = dictionary.Data.get();
        dec.dicBufSize = grown;
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
