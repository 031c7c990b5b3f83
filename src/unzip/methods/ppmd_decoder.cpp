#include "unzip/methods/ppmd_decoder.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>

extern "C" {
#include "Ppmd8.h"
}

#include "unzip/byte_order.h"
#include "unzip/methods/method_errors.h"

namespace tarvo::unzip {

namespace {

constexpr std::size_t kInBlock = 64 * 1024;
constexpr std::size_t kOutBlock = 4096;
// A sound stream ends where the encoder's final flush ends, so the range decoder never reads
// past it. Reads past the end give zero bytes; a few are allowed for encoders that flush
// short, after that the input was cut and what would follow is noise.
constexpr std::size_t kReadsPastEndAllowed = 4;
// The largest model kept for the thread's next entry (7-Zip's default is 16 MiB; a model is
// built afresh for every entry, only its memory is reused). A bound keeps an idle program
// from holding on to a large one.
constexpr std::uint32_t kKeptModelMiB = 64;

void* PpmdAlloc(ISzAllocPtr, size_t size) { return std::malloc(size); }
void PpmdFree(ISzAllocPtr, void* address) { std::free(address); }
const ISzAlloc gPpmdAlloc = {PpmdAlloc, PpmdFree};

// The model and its memory; Ppmd8_Alloc keeps the memory when the size asked for is the one
// it holds.
struct TPpmdModel {
  CPpmd8 Model;
  TPpmdModel() { Ppmd8_Construct(&Model); }
  ~TPpmdModel() { Ppmd8_Free(&Model, &gPpmdAlloc); }
  TPpmdModel(const TPpmdModel&) = delete;
  TPpmdModel& operator=(const TPpmdModel&) = delete;
};
thread_local std::unique_ptr<TPpmdModel> tSpareModel;

// The thread's spare model, on loan while an entry decodes (so a nested decode, were there
// one, gets a model of its own).
struct TModelLoan {
  std::unique_ptr<TPpmdModel> Owned = std::exchange(tSpareModel, {});
  TModelLoan() {
    if (!Owned) Owned = std::make_unique<TPpmdModel>();
  }
  ~TModelLoan() {
    if (!tSpareModel && Owned->Model.Size <= (kKeptModelMiB << 20)) tSpareModel = std::move(Owned);
  }
};

// The SDK's byte source over the entry's input. The SDK's C code cannot pass an exception
// on, so a failing read ends the input and the failure is raised once decoding stops.
struct TByteSource {
  IByteIn Interface;  // first, so the SDK's pointer is the source's
  core::TStream* Input;
  std::unique_ptr<std::uint8_t[]> Buffer{new std::uint8_t[kInBlock]};
  const std::uint8_t* Pos = nullptr;
  const std::uint8_t* End = nullptr;
  bool Ended = false;
  std::size_t ReadsPastEnd = 0;
  std::exception_ptr Failure;

  explicit TByteSource(core::TStream& input) : Interface{&ReadByte}, Input(&input) {}

  static Byte ReadByte(IByteInPtr self) {
    auto* source = reinterpret_cast<TByteSource*>(const_cast<IByteIn*>(self));
    if (source->Pos != source->End) return *source->Pos++;
    return source->Refill();
  }

  Byte Refill() {
    if (!Ended) {
      try {
        const std::size_t got = Input->Read(Buffer.get(), kInBlock);
        Pos = Buffer.get();
        End = Pos + got;
        if (got > 0) return *Pos++;
      } catch (...) {
        Failure = std::current_exception();
      }
      Ended = true;
    }
    ++ReadsPastEnd;
    return 0;
  }

  bool Exhausted() const noexcept { return Failure || ReadsPastEnd > kReadsPastEndAllowed; }
};

}  // namespace

bool PpmdBuiltIn() noexcept { return true; }

void DecodePpmd(core::TStream& input, core::TStream& output, std::uint32_t memoryLimitMiB) {
  std::uint8_t word[2];
  input.ReadBuffer(word, sizeof word);
  const TPpmdParameters parameters = TPpmdParameters::FromWord(GetLE16(word));
  if (parameters.Order < PPMD8_MIN_ORDER || parameters.Order > PPMD8_MAX_ORDER ||
      parameters.RestoreMethod >= PPMD8_RESTORE_METHOD_UNSUPPPORTED)
    throw EVmPPMdError::Unsupported(parameters.Order, parameters.RestoreMethod);
  if (parameters.MemoryMiB > memoryLimitMiB) throw EVmPPMdError::OutOfMemory(parameters.MemoryMiB);

  TModelLoan loan;
  CPpmd8& model = loan.Owned->Model;
  if (!Ppmd8_Alloc(&model, parameters.MemoryMiB << 20, &gPpmdAlloc)) throw EVmPPMdError::OutOfMemory(parameters.MemoryMiB);
  Ppmd8_Init(&model, parameters.Order, parameters.RestoreMethod);

  TByteSource source(input);
  model.Stream.In = &source.Interface;
  std::uint8_t block[kOutBlock];
  std::size_t filled = 0;
  // A stream whose first four bytes are all ones is no range coder's output: it ends here.
  if (Ppmd8_Init_RangeDec(&model)) {
    for (;;) {
      const int symbol = Ppmd8_DecodeSymbol(&model);
      if (symbol < 0 || source.Exhausted()) break;
      block[filled++] = static_cast<std::uint8_t>(symbol);
      if (filled == kOutBlock) {
        output.WriteBuffer(block, filled);
        filled = 0;
      }
    }
  }
  if (source.Failure) std::rethrow_exception(source.Failure);
  output.WriteBuffer(block, filled);
}

}  // namespace tarvo::unzip
