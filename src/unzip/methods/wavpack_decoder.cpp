#include "unzip/methods/wavpack_decoder.h"

#include <wavpack/wavpack.h>

#include <cstdio>
#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "unzip/methods/method_errors.h"

namespace tarvo::unzip {

namespace {

// One unpacked chunk: at most this many sample frames, and no more than fit the byte
// buffer at the file's sample width and channel count.
constexpr std::uint32_t kMaxChunkFrames = 4096;
constexpr std::size_t kChunkBytes = 256 * 1024;

// The stream the library reads, with its one byte of push-back. The library is C: an
// exception of the input stream is held here and raised again once the call returns.
struct TReader {
  core::TStream& Stream;
  int PushedBack = -1;
  std::exception_ptr Failure;

  static TReader& Of(void* id) { return *static_cast<TReader*>(id); }

  template <typename F>
  auto Guard(F&& f, decltype(f()) onFailure) -> decltype(f()) {
    if (Failure) return onFailure;
    try {
      return f();
    } catch (...) {
      Failure = std::current_exception();
      return onFailure;
    }
  }
};

std::int32_t ReadBytes(void* id, void* data, std::int32_t count) {
  TReader& r = TReader::Of(id);
  return r.Guard(
      [&]() -> std::int32_t {
        if (count <= 0) return 0;
        auto* p = static_cast<std::uint8_t*>(data);
        std::int32_t done = 0;
        if (r.PushedBack >= 0) {
          *p++ = static_cast<std::uint8_t>(r.PushedBack);
          r.PushedBack = -1;
          ++done;
        }
        while (done < count) {
          std::size_t n = r.Stream.Read(p, static_cast<std::size_t>(count - done));
          if (n == 0) break;
          p += n;
          done += static_cast<std::int32_t>(n);
        }
        return done;
      },
      std::int32_t{0});
}

std::int64_t GetPos(void* id) {
  TReader& r = TReader::Of(id);
  return r.Guard([&] { return r.Stream.Position() - (r.PushedBack >= 0 ? 1 : 0); }, std::int64_t{-1});
}

int SetPosRel(void* id, std::int64_t delta, int mode) {
  TReader& r = TReader::Of(id);
  return r.Guard(
      [&] {
        core::TSeekOrigin origin = mode == SEEK_SET   ? core::TSeekOrigin::soBeginning
                                   : mode == SEEK_END ? core::TSeekOrigin::soEnd
                                                      : core::TSeekOrigin::soCurrent;
        if (origin == core::TSeekOrigin::soCurrent && r.PushedBack >= 0) --delta;
        r.PushedBack = -1;
        r.Stream.Seek(delta, origin);
        return 0;
      },
      -1);
}

int SetPosAbs(void* id, std::int64_t pos) { return SetPosRel(id, pos, SEEK_SET); }

int PushBackByte(void* id, int c) {
  TReader::Of(id).PushedBack = c & 0xFF;
  return c;
}

std::int64_t GetLength(void* id) {
  TReader& r = TReader::Of(id);
  return r.Guard([&] { return r.Stream.Size(); }, std::int64_t{-1});
}

int CanSeek(void*) { return 1; }
int NoOp(void*) { return 0; }
std::int32_t NoWrite(void*, void*, std::int32_t) { return 0; }

WavpackStreamReader64 gReader = {ReadBytes, NoWrite,      GetPos, SetPosAbs, SetPosRel,
                                 PushBackByte, GetLength, CanSeek, NoOp,     NoOp};

struct TContextCloser {
  void operator()(WavpackContext* c) const { WavpackCloseFile(c); }
};

void WriteWrapper(WavpackContext* wpc, core::TStream& output) {
  std::uint32_t n = WavpackGetWrapperBytes(wpc);
  if (n > 0) output.WriteBuffer(WavpackGetWrapperData(wpc), n);
  WavpackFreeWrapper(wpc);
}

}  // namespace

void DecodeWavPack(core::TStream& input, core::TStream& output) {
  TReader reader{input, -1, nullptr};
  char error[80] = {};
  std::unique_ptr<WavpackContext, TContextCloser> wpc(
      WavpackOpenFileInputEx64(&gReader, &reader, nullptr, error, OPEN_WRAPPER, 0));
  if (reader.Failure) std::rethrow_exception(reader.Failure);
  if (!wpc) {
    error[sizeof error - 1] = '\0';
    throw EVmWavPackError(error);
  }
  WriteWrapper(wpc.get(), output);

  const int bytesPerSample = WavpackGetBytesPerSample(wpc.get());
  const int channels = WavpackGetNumChannels(wpc.get());
  if (bytesPerSample < 1 || bytesPerSample > 4 || channels < 1) throw EVmWavPackError("not a valid WavPack file!");
  const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample) * static_cast<std::size_t>(channels);
  const std::uint32_t frames =
      static_cast<std::uint32_t>(std::max<std::size_t>(1, std::min<std::size_t>(kMaxChunkFrames, kChunkBytes / frameBytes)));
  std::vector<std::int32_t> samples(std::size_t{frames} * static_cast<std::size_t>(channels));
  std::vector<std::uint8_t> bytes(std::size_t{frames} * frameBytes);

  for (;;) {
    std::uint32_t got = WavpackUnpackSamples(wpc.get(), samples.data(), frames);
    if (reader.Failure) std::rethrow_exception(reader.Failure);
    if (got == 0) break;
    const std::size_t count = std::size_t{got} * static_cast<std::size_t>(channels);
    std::uint8_t* out = bytes.data();
    // PCM as a WAV file holds it: 8-bit samples unsigned, wider ones signed little-endian.
    switch (bytesPerSample) {
      case 1:
        for (std::size_t i = 0; i < count; ++i) *out++ = static_cast<std::uint8_t>(samples[i] + 128);
        break;
      default:
        for (std::size_t i = 0; i < count; ++i) {
          std::uint32_t s = static_cast<std::uint32_t>(samples[i]);
          for (int b = 0; b < bytesPerSample; ++b) *out++ = static_cast<std::uint8_t>(s >> (8 * b));
        }
        break;
    }
    output.WriteBuffer(bytes.data(), static_cast<std::size_t>(out - bytes.data()));
  }
  // Chunks the audio file carried after its samples are stored with the last block;
  // leaving them out would cut the file short. Unpacking usually collects them already.
  if (WavpackGetWrapperBytes(wpc.get()) == 0) {
    WavpackSeekTrailingWrapper(wpc.get());
    if (reader.Failure) std::rethrow_exception(reader.Failure);
  }
  WriteWrapper(wpc.get(), output);
}

}  // namespace tarvo::unzip
