#include "unzip/methods/bzip2_parallel.h"

#include <bzlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "core/scope_guard.h"
#include "core/worker_pool.h"
#include "platform/processors.h"
#include "unzip/methods/bzip2_block_scanner.h"
#include "unzip/methods/bzip2_stream.h"

namespace tarvo::unzip {

namespace {

// What a worker holds of one block's output. Runs expand a 900 kB block up to 46 MB; such
// a block is only checked by the worker and decoded again, straight to the output.
constexpr std::size_t kWorkerOutputBudget = 8 << 20;
// A block that chance cuts at a magic in its data is joined with the next piece and tried
// again; each try decodes the whole piece, so a block crafted full of magics would cost
// time quadratic in its size. After this many tries the rest of the stream goes serially.
// Data not made for it holds a magic by chance in fewer than one block in ten million.
constexpr int kMaxMerges = 24;
// No more workers than this, whatever the machine: two blocks in flight per worker are
// held in memory.
constexpr unsigned kMaxWorkers = 16;

// The most bits a block of this level can take: one code of at most 20 bits for each byte
// of the block, plus tables and selectors. A piece that still fails at this length is
// damaged, not cut short by a magic that occurred in its data by chance.
std::uint64_t MaxBlockBits(int level) { return std::uint64_t(level) * 100000 * 20 + (std::uint64_t{64} << 10) * 8; }

std::uint32_t RotateLeft1(std::uint32_t v) { return v << 1 | v >> 31; }

// libbz2 asks for the same few large arrays for every block (its state and the 3.6 MB
// block array at level 9); fresh ones would cost page faults per block, so each thread
// keeps what it was given for the next block.
class TBlockMemory {
public:
  TBlockMemory() = default;
  TBlockMemory(const TBlockMemory&) = delete;
  TBlockMemory& operator=(const TBlockMemory&) = delete;
  ~TBlockMemory() {
    for (TPiece& piece : FPieces) std::free(piece.Data);
  }
  static void* Alloc(void* self, int items, int size) {
    auto& pieces = static_cast<TBlockMemory*>(self)->FPieces;
    const std::size_t bytes = std::size_t(items) * std::size_t(size);
    for (TPiece& piece : pieces)
      if (!piece.Used && piece.Bytes == bytes) {
        piece.Used = true;
        return piece.Data;
      }
    // Another level's arrays: the ones not in use go.
    std::erase_if(pieces, [](const TPiece& piece) {
      if (!piece.Used) std::free(piece.Data);
      return !piece.Used;
    });
    void* data = std::malloc(bytes);
    if (!data) return nullptr;
    // Called from C: a failure is a null answer, never an exception.
    try {
      pieces.push_back({data, bytes, true});
    } catch (const std::bad_alloc&) {
      std::free(data);
      return nullptr;
    }
    return data;
  }
  static void Free(void* self, void* data) {
    for (TPiece& piece : static_cast<TBlockMemory*>(self)->FPieces)
      if (piece.Data == data) piece.Used = false;
  }
private:
  struct TPiece {
    void* Data;
    std::size_t Bytes;
    bool Used;
  };
  std::vector<TPiece> FPieces;
};

// A block's output, in bytes that are not cleared first.
struct TBuffer {
  std::unique_ptr<std::uint8_t[]> Data;
  std::size_t Capacity = 0;
  std::size_t Size = 0;
  void Grow(std::size_t capacity) {
    auto data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    if (Size) std::memcpy(data.get(), Data.get(), Size);
    Data = std::move(data);
    Capacity = capacity;
  }
};

// What the decoders of earlier streams left for the next: each thread's libbz2 arrays and
// the blocks' output buffers. A ZIP archive holds many small bzip2 streams; without this
// every one of them would fault in its memory afresh. At most one set per worker is kept.
class TSpares {
public:
  // Room for all that is kept, so that giving back never allocates.
  TSpares() {
    FMemories.reserve(kMaxWorkers);
    FBuffers.reserve(2 * kMaxWorkers);
  }
  std::unique_ptr<TBlockMemory> TakeMemory() {
    std::lock_guard lock(FMutex);
    if (FMemories.empty()) return std::make_unique<TBlockMemory>();
    std::unique_ptr<TBlockMemory> memory = std::move(FMemories.back());
    FMemories.pop_back();
    return memory;
  }
  void Give(std::unique_ptr<TBlockMemory> memory) {
    std::lock_guard lock(FMutex);
    if (FMemories.size() < kMaxWorkers) FMemories.push_back(std::move(memory));
  }
  TBuffer TakeBuffer() {
    std::lock_guard lock(FMutex);
    if (FBuffers.empty()) return {};
    TBuffer buffer = std::move(FBuffers.back());
    FBuffers.pop_back();
    return buffer;
  }
  void Give(TBuffer&& buffer) {
    buffer.Size = 0;
    std::lock_guard lock(FMutex);
    if (FBuffers.size() < 2 * kMaxWorkers && buffer.Capacity <= kKeptBuffer) FBuffers.push_back(std::move(buffer));
  }

private:
  // A level-9 block decodes to about 900 kB unless it holds long runs.
  static constexpr std::size_t kKeptBuffer = 2 << 20;
  std::mutex FMutex;
  std::vector<std::unique_ptr<TBlockMemory>> FMemories;
  std::vector<TBuffer> FBuffers;
};

TSpares& Spares() {
  static TSpares spares;
  return spares;
}

// Decodes a whole one-block stream held in memory into the room sink gives (Room() returns
// where and how much; Took(n) says n bytes arrived there and returns false to stop early).
// Returns BZ_OK when the stream ended exactly at its last byte, else libbz2's code
// (BZ_UNEXPECTED_EOF when it wanted more input).
template <class Sink>
int DecodeWholeStream(const std::vector<std::uint8_t>& stream, TBlockMemory& memory, Sink& sink) {
  bz_stream bz{};
  bz.bzalloc = &TBlockMemory::Alloc;
  bz.bzfree = &TBlockMemory::Free;
  bz.opaque = &memory;
  int result = BZ2_bzDecompressInit(&bz, 0, 0);
  if (result != BZ_OK) return result;
  core::TScopeGuard end([&bz] { BZ2_bzDecompressEnd(&bz); });
  bz.next_in = reinterpret_cast<char*>(const_cast<std::uint8_t*>(stream.data()));
  bz.avail_in = static_cast<unsigned>(stream.size());
  for (;;) {
    const auto [room, roomSize] = sink.Room();
    bz.next_out = reinterpret_cast<char*>(room);
    bz.avail_out = static_cast<unsigned>(roomSize);
    const unsigned inBefore = bz.avail_in;
    result = BZ2_bzDecompress(&bz);
    const std::size_t produced = roomSize - bz.avail_out;
    if (produced > 0 && !sink.Took(produced)) return BZ_OK;
    if (result == BZ_STREAM_END) return bz.avail_in == 0 ? BZ_OK : BZ_DATA_ERROR;
    if (result != BZ_OK) return result;
    if (produced == 0 && bz.avail_in == inBefore) return BZ_UNEXPECTED_EOF;
  }
}

// A piece of the stream between two magics, as a one-block stream, and what it decoded to.
struct TPiece {
  std::uint64_t Start = 0, End = 0;  // bits of the input: the block magic, the next magic
  bool EndsStream = false;           // the magic at End is the end mark
  std::uint32_t BlockCRC = 0;
  std::vector<std::uint8_t> Stream;
  // Filled by whoever decodes it.
  int Result = BZ_OK;
  bool Overflowed = false;  // decoded and checked, but its output was not kept
  TBuffer Output;
};

// Output kept in the piece, up to the budget; beyond it only counted through.
class TPieceSink {
public:
  explicit TPieceSink(TPiece& piece) : FPiece(piece) {
    FPiece.Output = Spares().TakeBuffer();
    if (FPiece.Output.Capacity < kFirst) FPiece.Output.Grow(kFirst);
  }
  std::pair<std::uint8_t*, std::size_t> Room() {
    TBuffer& out = FPiece.Output;
    if (!FPiece.Overflowed && out.Size == out.Capacity) {
      if (out.Capacity < kWorkerOutputBudget) {
        out.Grow(std::min(out.Capacity * 2, kWorkerOutputBudget));
      } else {
        // Kept no longer: the rest only passes through the buffer's start.
        FPiece.Overflowed = true;
        out.Size = 0;
      }
    }
    if (FPiece.Overflowed) return {out.Data.get(), out.Capacity};
    return {out.Data.get() + out.Size, out.Capacity - out.Size};
  }
  bool Took(std::size_t n) {
    if (!FPiece.Overflowed) FPiece.Output.Size += n;
    return true;
  }

private:
  // A level-9 block of text decodes to a little under 1 MB.
  static constexpr std::size_t kFirst = 1 << 20;
  TPiece& FPiece;
};

void DecodePiece(TPiece& piece, TBlockMemory& memory) {
  TPieceSink sink(piece);
  piece.Result = DecodeWholeStream(piece.Stream, memory, sink);
}

// Each worker's libbz2 arrays, taken from the spares when it first decodes and given back
// when the decoder is done (after its workers have ended).
class TWorkerMemories {
public:
  explicit TWorkerMemories(unsigned count) : FMemories(count) {}
  TWorkerMemories(const TWorkerMemories&) = delete;
  TWorkerMemories& operator=(const TWorkerMemories&) = delete;
  ~TWorkerMemories() {
    for (std::unique_ptr<TBlockMemory>& memory : FMemories)
      if (memory) Spares().Give(std::move(memory));
  }
  // Run by worker: a piece that cannot be decoded for want of memory fails like a damaged
  // one, and the serial decoder has the last word.
  void Decode(TPiece& piece, unsigned worker) noexcept {
    try {
      std::unique_ptr<TBlockMemory>& memory = FMemories[worker];
      if (!memory) memory = Spares().TakeMemory();
      DecodePiece(piece, *memory);
    } catch (const std::bad_alloc&) {
      piece.Result = BZ_MEM_ERROR;
    }
  }

private:
  std::vector<std::unique_ptr<TBlockMemory>> FMemories;
};

// A bzip2 stream that starts at a bit of the input: a header of the stream's level, then
// the input's bits from there on. From bit 0 it is the input as it stands.
class TRealignedStream final : public core::TStream {
public:
  TRealignedStream(TBzip2BlockScanner& window, std::uint64_t startBit, char level)
      : FWindow(window), FBit(startBit), FHeader{'B', 'Z', 'h', level}, FHeaderLeft(startBit == 0 ? 0 : 4) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t n = 0;
    for (; n < count && FHeaderLeft > 0; --FHeaderLeft) out[n++] = FHeader[4 - FHeaderLeft];
    while (n < count) {
      if (FBit + 8 > FWindow.EndBit() && !FWindow.ReadMore()) break;
      const std::uint64_t end = std::min<std::uint64_t>(FWindow.EndBit(), FBit + 8 * std::uint64_t(count - n));
      const std::size_t whole = static_cast<std::size_t>((end - FBit) / 8);
      FWindow.CopyBytes(FBit, out + n, whole);
      n += whole;
      FBit += 8 * std::uint64_t{whole};
      FWindow.Release(FBit);
    }
    // The bits of a last, partial byte, padded with zeros.
    if (n < count && FBit < FWindow.EndBit()) {
      out[n++] = FWindow.ByteAt(FBit);
      FBit = FWindow.EndBit();
    }
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return 0; }
  // The input bit the next read starts at.
  std::uint64_t Bit() const noexcept { return FBit; }

private:
  TBzip2BlockScanner& FWindow;
  std::uint64_t FBit;
  char FHeader[4];
  int FHeaderLeft;
};

class TBlockDecoder {
  static constexpr std::size_t kScratch = 256 << 10;

public:
  TBlockDecoder(core::TStream& input, core::TStream& output, std::uint64_t size, unsigned workers, bool rewindable)
      : FWindow(input),
        FOutput(output),
        FRequested(size),
        FStart(rewindable ? input.Position() : -1),
        FRemaining(size),
        FWorkerCount(workers) {}
  ~TBlockDecoder() {
    if (FMainMemory) Spares().Give(std::move(FMainMemory));
  }

  std::uint64_t Run() {
    const std::uint64_t size = FRemaining;
    if (size == 0) return 0;
    if (Splittable())
      Parallel();
    else
      Serial(0);
    return size - FRemaining;
  }
  std::uint64_t End() const noexcept { return FEnd; }

private:
  // Whether the stream is worth handing to workers: a sound header and two blocks at least.
  bool Splittable() {
    if (FWorkerCount < 2 || !FWindow.Reach(bzip2::kHeaderBits + bzip2::kMagicAndCrcBits)) return false;
    if (FWindow.ByteAt(0) != 'B' || FWindow.ByteAt(8) != 'Z' || FWindow.ByteAt(16) != 'h') return false;
    FLevel = static_cast<char>(FWindow.ByteAt(24));
    if (FLevel < '1' || FLevel > '9') return false;
    const std::uint64_t limit = bzip2::kHeaderBits + MaxBlockBits(FLevel - '0');
    const TBzip2Magic* first = FWindow.MagicFrom(bzip2::kHeaderBits, limit);
    if (!first || first->Bit != bzip2::kHeaderBits || first->IsEnd) return false;
    // Another block magic (an end mark may be one that occurs in the data by chance).
    const TBzip2Magic* other = FWindow.MagicFrom(bzip2::kHeaderBits + bzip2::kMagicAndCrcBits, limit);
    while (other && other->IsEnd) other = FWindow.MagicFrom(other->Bit + 1, limit);
    return other != nullptr;
  }

  void Parallel() {
    // Declared first, so that it outlives the workers that use it.
    TWorkerMemories memories(FWorkerCount);
    core::TWorkerPool workers(FWorkerCount);
    if (workers.Count() == 0) return Serial(0);
    struct TInFlight {
      std::shared_ptr<TPiece> Piece;
      core::TWorkerPool::TTicket Ticket;
    };
    std::deque<TInFlight> inFlight;
    std::uint64_t next = bzip2::kHeaderBits;  // the block magic the next piece starts at
    bool allCut = false;                      // the end mark was reached, or the input ended
    for (;;) {
      while (!allCut && inFlight.size() < 2 * std::size_t{FWorkerCount}) {
        std::shared_ptr<TPiece> piece = Cut(next, next);
        if (!piece) {
          allCut = true;
          break;
        }
        next = piece->End;
        allCut = piece->EndsStream;
        const auto ticket = workers.Submit([piece, &memories](unsigned worker) { memories.Decode(*piece, worker); });
        inFlight.push_back({std::move(piece), ticket});
      }
      // No end found for the block at `next`: the stream is cut short.
      if (inFlight.empty()) return FStart >= 0 ? SerialAgain() : Serial(next);
      std::shared_ptr<TPiece> piece = std::move(inFlight.front().Piece);
      workers.Wait(inFlight.front().Ticket);
      inFlight.pop_front();
      if (piece->Result != BZ_OK) {
        // Cut at a magic that was only data: the pieces after it are wrong too.
        workers.DropQueued();
        inFlight.clear();
        const std::uint64_t start = piece->Start;
        piece = Merge(*piece);
        if (!piece) return FStart >= 0 ? SerialAgain() : Serial(start);
        next = piece->End;
        allCut = piece->EndsStream;
      }
      const bool whole = Emit(*piece);
      // libbz2 checks the combined CRC as soon as all of the last block is out, even when
      // that just fills the request; once the request is filled, what follows is not read.
      if (piece->EndsStream && whole) {
        if (FWindow.Bits32(piece->End + bzip2::kMagicBits) != FCombinedCRC) RaiseBZError(BZ_DATA_ERROR);
        FEnd = (piece->End + bzip2::kMagicAndCrcBits + 7) / 8;
      }
      if (piece->EndsStream || FRemaining == 0) return;
      FWindow.Release(inFlight.empty() ? next : inFlight.front().Piece->Start);
    }
  }

  // The piece from the block magic at start to the first magic after `after` (and after
  // the block's own magic and CRC); null when there is none within the largest size a
  // block can have, or the input ends inside the CRC that follows an end mark.
  std::shared_ptr<TPiece> Cut(std::uint64_t start, std::uint64_t after) {
    const TBzip2Magic* end = FWindow.MagicFrom(std::max(start + bzip2::kMagicAndCrcBits, after + 1),
                                          start + MaxBlockBits(FLevel - '0'));
    if (!end || !FWindow.Reach(end->Bit + bzip2::kMagicAndCrcBits)) return nullptr;
    auto piece = std::make_shared<TPiece>();
    piece->Start = start;
    piece->End = end->Bit;
    piece->EndsStream = end->IsEnd;
    piece->BlockCRC = FWindow.Bits32(start + bzip2::kMagicBits);
    const std::uint64_t bits = end->Bit - start;
    std::vector<std::uint8_t>& s = piece->Stream;
    const std::size_t whole = static_cast<std::size_t>(bits / 8);
    s.reserve(4 + whole + 12);
    s.resize(4 + whole);
    // The stream header: "BZh" and the level.
    s[0] = 'B';
    s[1] = 'Z';
    s[2] = 'h';
    s[3] = static_cast<std::uint8_t>(FLevel);
    std::uint64_t bit = start;
    FWindow.CopyBytes(bit, s.data() + 4, whole);
    bit += 8 * std::uint64_t{whole};
    // The block's last bits, then an end mark whose combined CRC is the one block's CRC.
    const unsigned tail = static_cast<unsigned>(end->Bit - bit);
    std::uint64_t acc = tail ? FWindow.ByteAt(bit) >> (8 - tail) : 0;
    unsigned count = tail;
    auto put = [&](std::uint64_t value, unsigned n) {
      for (unsigned i = n; i-- > 0;) {
        acc = acc << 1 | (value >> i & 1);
        if (++count == 8) {
          s.push_back(static_cast<std::uint8_t>(acc));
          acc = 0;
          count = 0;
        }
      }
    };
    put(bzip2::kEndMagic, bzip2::kMagicBits);
    put(piece->BlockCRC, 32);
    if (count) put(0, 8 - count);
    return piece;
  }

  // Joins a failed piece with the next until it decodes; null when it still fails at the
  // largest size a block can have, or after kMaxMerges tries, or the input ends.
  std::shared_ptr<TPiece> Merge(const TPiece& failed) {
    TBlockMemory& memory = MainMemory();
    std::uint64_t end = failed.End;
    for (int tries = 0; tries < kMaxMerges; ++tries) {
      std::shared_ptr<TPiece> piece = Cut(failed.Start, end);
      if (!piece) return nullptr;
      DecodePiece(*piece, memory);
      if (piece->Result == BZ_OK) return piece;
      end = piece->End;
    }
    return nullptr;
  }

  // Writes a decoded block as far as the request reaches; true when all of it went out.
  bool Emit(TPiece& piece) {
    FCombinedCRC = RotateLeft1(FCombinedCRC) ^ piece.BlockCRC;
    if (!piece.Overflowed) {
      const bool whole = Write(piece.Output.Data.get(), piece.Output.Size);
      Spares().Give(std::move(piece.Output));
      return whole;
    }
    // Checked by its worker already: decoded again, straight to the output.
    struct TWriteSink {
      TBlockDecoder& Decoder;
      std::unique_ptr<std::uint8_t[]> Buffer{new std::uint8_t[kScratch]};
      std::pair<std::uint8_t*, std::size_t> Room() { return {Buffer.get(), kScratch}; }
      bool Cut = false;
      bool Took(std::size_t n) { return !(Cut = !Decoder.Write(Buffer.get(), n)); }
    } sink{*this};
    const int result = DecodeWholeStream(piece.Stream, MainMemory(), sink);
    if (result != BZ_OK) RaiseBZError(result);
    return !sink.Cut;
  }

  TBlockMemory& MainMemory() {
    if (!FMainMemory) FMainMemory = Spares().TakeMemory();
    return *FMainMemory;
  }

  // Writes what the request still takes of n bytes; true when that was all of them.
  bool Write(const std::uint8_t* data, std::size_t n) {
    const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(n, FRemaining));
    FOutput.WriteBuffer(data, taken);
    FRemaining -= taken;
    return taken == n;
  }

  // libbz2 alone, from the block at startBit (0: the stream's start) to the end.
  void Serial(std::uint64_t startBit) {
    FWindow.StopScanning();
    TRealignedStream realigned(FWindow, startBit, FLevel);
    TBZDecompressionStream bz(realigned);
    Copy(bz, 0);
    // Only a stream read from its first byte tells where it ended to the byte.
    if (startBit == 0 && bz.StreamEnded()) FEnd = realigned.Bit() / 8 - bz.UnusedInput();
  }

  // Writes what bz decodes as far as the request reaches, after passing over skip bytes.
  void Copy(TBZDecompressionStream& bz, std::uint64_t skip) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kScratch]);
    while (FRemaining > 0) {
      const std::uint64_t want = skip > 0 ? skip : FRemaining;
      const std::size_t n = bz.Read(buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(want, kScratch)));
      if (n == 0) break;
      if (skip > 0)
        skip -= n;
      else
        Write(buffer.get(), n);
    }
  }

  // libbz2 alone over the whole stream again, passing over what is written already. The
  // rest after a piece that no merge made whole may be a block crafted full of magics or
  // damage: either way the verdict is then the serial decoder's, the combined CRC over all
  // blocks included, at the cost of decoding the written part twice.
  void SerialAgain() {
    std::uint64_t skip = FRequested - FRemaining;
    FWindow.Restart(FStart);
    TRealignedStream whole(FWindow, 0, FLevel);
    TBZDecompressionStream bz(whole);
    Copy(bz, skip);
    if (bz.StreamEnded()) FEnd = whole.Bit() / 8 - bz.UnusedInput();
  }

  TBzip2BlockScanner FWindow;
  core::TStream& FOutput;
  std::uint64_t FRequested = 0;
  std::int64_t FStart = -1;
  std::uint64_t FEnd = kNoStreamEnd;
  std::uint64_t FRemaining;
  unsigned FWorkerCount;
  char FLevel = '9';
  std::uint32_t FCombinedCRC = 0;
  std::unique_ptr<TBlockMemory> FMainMemory;
};

}  // namespace

std::uint64_t DecodeBzip2Blocks(core::TStream& input, core::TStream& output, std::uint64_t size, unsigned workers,
                                bool rewindable, std::uint64_t* streamEnd) {
  if (workers == 0) workers = platform::IdleProcessors();
  TBlockDecoder decoder(input, output, size, std::min(workers, kMaxWorkers), rewindable);
  const std::uint64_t written = decoder.Run();
  if (streamEnd) *streamEnd = decoder.End();
  return written;
}

}  // namespace tarvo::unzip
