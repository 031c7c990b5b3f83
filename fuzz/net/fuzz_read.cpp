// Arbitrary bytes, split into arbitrary receives, read through the in-memory source by a
// fuzzer-chosen sequence of ReadLn, ReadBytes, ReadStream, Discard and friends.
//
// Input layout:
//   byte 0      recv block size - 1 (1..256)
//   byte 1      max line length (0 = the default 16384)
//   byte 2      number of operations N (mod 32), then N operation bytes
//   the rest    receives: a length byte L, then L bytes; L = 0 marks the peer's close
//
// Beyond "no crash": every byte that arrives before the close is consumed exactly once,
// so the read work reported over the whole run equals the bytes delivered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "net/net_exception.h"
#include "net/net_io_handler_memory.h"

using namespace tarvo;
using namespace tarvo::net;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  TNetIOHandlerMemory io;
  io.SetRecvBufferSize(data[0] + 1);
  if (data[1] != 0) io.SetMaxLineLength(data[1]);
  std::size_t opCount = data[2] % 32;
  std::size_t pos = 3;
  if (size - pos < opCount) return 0;
  const std::uint8_t* ops = data + pos;
  pos += opCount;

  std::int64_t delivered = 0;
  bool closed = false;
  while (pos < size) {
    std::size_t len = data[pos++];
    if (len == 0) {
      io.QueuePeerClose();
      closed = true;
      continue;
    }
    len = std::min(len, size - pos);
    if (!closed) delivered += static_cast<std::int64_t>(len);
    io.QueueInput(TNetBytes(data + pos, data + pos + len));
    pos += len;
  }

  std::int64_t reported = 0;
  io.OnWork = [&](TNetComponent*, TWorkMode mode, std::int64_t total) {
    if (mode == wmRead) reported = total;
  };
  io.Open();
  io.BeginWork(wmRead, 0);  // makes every consumption count
  for (std::size_t i = 0; i < opCount; ++i) {
    std::uint8_t op = ops[i];
    int arg = op >> 4;
    try {
      switch (op & 0x0F) {
        case 0: io.ReadLn(); break;
        case 1: io.ReadLn("\r\n", -1, arg * 3); break;
        case 2: {
          bool split = false;
          std::string line = io.ReadLnSplit(split, "ab", -1, arg + 1);
          if (line.size() > static_cast<std::size_t>(arg + 1) * 3) std::abort();  // decoded bytes grow at most 3x
          break;
        }
        case 3: {
          TNetBytes b;
          io.ReadBytes(b, arg * 5);
          if (b.size() != static_cast<std::size_t>(arg * 5)) std::abort();
          break;
        }
        case 4: {
          core::TMemoryStream s;
          io.ReadStream(s, arg * 7);
          if (s.Size() != arg * 7) std::abort();
          break;
        }
        case 5: {
          core::TMemoryStream s;
          io.ReadStream(s, -1, true);
          break;
        }
        case 6: {
          core::TMemoryStream s;
          io.SetLargeStream(arg & 1);
          io.ReadStream(s);
          break;
        }
        case 7: io.Discard(arg * 11); break;
        case 8: io.ReadLnWait(3); break;
        case 9: io.ReadInt64(); break;
        case 10: io.ReadUInt16(); break;
        case 11: io.CheckForDataOnSource(0); break;
        case 12: io.Connected(); break;
        case 13: {
          TNetBytes b;
          io.ReadBytes(b, -1);
          break;
        }
        case 14: io.ReadLn(NetEncodingUTF8()); break;
        default: io.ReadLn(NetEncoding8Bit()); break;
      }
    } catch (const core::Exception&) {
      // Failures are part of the game; their messages are fixed texts.
    }
  }
  try {
    io.DiscardAll();
  } catch (const core::Exception&) {
    std::abort();  // without scripted errors, reading to the close must succeed
  }
  io.EndWork(wmRead);
  if (reported != delivered) std::abort();
  return 0;
}
