#include "net/net_io_handler.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>

#include "core/memory_stream.h"
#include "net/net_exception.h"

namespace tarvo::net {

namespace {

std::int64_t NowMS() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

const core::TClassInfo& TNetIOHandler::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetIOHandler", &core::ClassInfoOf<TNetComponent>(), {}};
  return info;
}

TNetIOHandler::TNetIOHandler(core::TComponent* owner)
    : TNetComponent(owner),
      FInputBuffer(std::make_unique<TNetBuffer>([this](TNetBuffer*, int count) { InputBufferBytesRemoved(count); })) {}

TNetIOHandler::~TNetIOHandler() {
  try {
    TNetIOHandler::Close();
  } catch (...) {
    // An intercept failing on the way out must not end the program.
  }
}

void TNetIOHandler::InputBufferBytesRemoved(int count) { DoWork(wmRead, count); }

std::string TNetIOHandler::Destination() const {
  if (FHost.empty() && FPort == 0) return {};
  return FHost + ":" + std::to_string(FPort);
}

void TNetIOHandler::SetDestination(const std::string& value) {
  std::size_t colon = value.rfind(':');
  if (colon == std::string::npos) {
    SetHost(value);
    return;
  }
  SetHost(value.substr(0, colon));
  std::string_view port(value.data() + colon + 1, value.size() - colon - 1);
  unsigned v = 0;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), v);
  if (ec == std::errc() && end == port.data() + port.size() && v <= 0xFFFF) SetPort(static_cast<std::uint16_t>(v));
}

// ---------------------------------------------------------------------------------------
// Lifecycle

void TNetIOHandler::Open() {
  FClosedGracefully = false;
  WriteBufferClear();
  FInputBuffer->Clear();
  FOpened = true;
}

void TNetIOHandler::Close() {
  try {
    if (FIntercept != nullptr) FIntercept->Disconnect();
  } catch (...) {
    FOpened = false;
    WriteBufferClear();
    throw;
  }
  FOpened = false;
  WriteBufferClear();
}

bool TNetIOHandler::BaseConnected() {
  CheckForDisconnect(false, false);
  return FOpened && (!FClosedGracefully || FInputBuffer->Size() > 0);
}

bool TNetIOHandler::Connected() { return BaseConnected(); }

bool TNetIOHandler::CheckForDataOnSource(int timeoutMS) {
  int before = FInputBuffer->Size();
  if (!Connected()) return false;
  if (FInputBuffer->Size() > before) return true;
  return FillInputBuffer(false, timeoutMS, false) > 0;
}

// ---------------------------------------------------------------------------------------
// Receiving

int TNetIOHandler::EffectiveTimeout(int timeoutMS) const noexcept {
  if (timeoutMS == NetTimeoutDefault) {
    // A ReadTimeout of -1 or 0 means no limit; an explicit 0 passed in means a poll.
    timeoutMS = FReadTimeout;
    if (timeoutMS == -1 || timeoutMS == 0) timeoutMS = NetTimeoutInfinite;
  }
  return timeoutMS;
}

// One receive straight into buffer, for stream copies once the input buffer is empty: the
// same waits, time-outs and close handling as FillInputBuffer followed by the checks of
// ReadBytes, without passing the bytes through the input buffer. The bytes count as read
// work at once. Returns the count (> 0).
int TNetIOHandler::ReceiveDirect(TNetBytes& buffer) {
  const int timeoutMS = EffectiveTimeout(NetTimeoutDefault);
  CheckForDisconnect(false, false);
  if (!HasSource() || !FOpened) {
    CheckForDisconnect(true, true);
    throw ENetNotConnected();
  }
  if (!Readable(timeoutMS)) throw ENetReadTimeout();
  int count = ReadFromSocket(buffer);
  if (count < 0) {
    int code = FilterError(count);
    FClosedGracefully = true;
    Close();
    RaiseErrorCode(code);
  }
  if (count == 0) {
    FClosedGracefully = true;
    CheckForDisconnect(true, true);
    throw ENetConnClosedGracefully();
  }
  DoWork(wmRead, count);
  return count;
}

int TNetIOHandler::FillInputBuffer(bool raiseIfDisconnected, int timeoutMS, bool raiseOnTimeout) {
  timeoutMS = EffectiveTimeout(timeoutMS);
  CheckForDisconnect(raiseIfDisconnected, false);
  if (!HasSource()) {
    if (raiseIfDisconnected) throw ENetNotConnected();
    return 0;
  }
  for (;;) {
    if (!Readable(timeoutMS)) {
      if (raiseOnTimeout) throw ENetReadTimeout();
      return -1;
    }
    int count = 0;
    if (FOpened) {
      if (HasSource()) {
        TNetBytes buffer(static_cast<std::size_t>(FRecvBufferSize));
        count = ReadFromSocket(buffer);
        if (count > 0) {
          buffer.resize(static_cast<std::size_t>(count));
          if (FIntercept != nullptr) FIntercept->Receive(buffer);
          FInputBuffer->Write(buffer);
        }
      } else if (raiseIfDisconnected) {
        throw ENetClosedSocket();
      }
    } else if (raiseIfDisconnected) {
      throw ENetNotConnected();
    }
    if (count < 0) {
      int code = FilterError(count);
      FClosedGracefully = true;
      Close();
      if (FInputBuffer->Size() == 0 && raiseIfDisconnected) RaiseErrorCode(code);
      count = 0;
    } else if (count == 0) {
      FClosedGracefully = true;
    }
    CheckForDisconnect(raiseIfDisconnected, false);
    if (count != 0) return count;
    if (!HasSource()) return 0;
  }
}

std::string TNetIOHandler::ReadLn(const INetTextEncoding* encoding) {
  return ReadLnImpl("\n", NetTimeoutDefault, -1, encoding, FMaxLineAction);
}

std::string TNetIOHandler::ReadLn(std::string_view terminator, int timeoutMS, int maxLineLength,
                                  const INetTextEncoding* encoding) {
  return ReadLnImpl(terminator, timeoutMS, maxLineLength, encoding, FMaxLineAction);
}

std::string TNetIOHandler::ReadLnSplit(bool& wasSplit, std::string_view terminator, int timeoutMS, int maxLineLength,
                                       const INetTextEncoding* encoding) {
  std::string line = ReadLnImpl(terminator, timeoutMS, maxLineLength, encoding, maSplit);
  wasSplit = FReadLnSplit;
  return line;
}

std::string TNetIOHandler::ReadLnImpl(std::string_view terminator, int timeoutMS, int maxLineLength,
                                      const INetTextEncoding* encoding, TNetMaxLineAction action) {
  const INetTextEncoding* enc = encoding != nullptr ? encoding : DefStringEncoding();
  if (maxLineLength < 0) maxLineLength = FMaxLineLength;
  if (terminator.empty()) terminator = "\n";
  const TNetBytes term = enc->GetBytes(terminator);
  const int termLen = static_cast<int>(term.size());
  const bool lineFeed = terminator == "\n";

  FReadLnSplit = false;
  FReadLnTimedOut = false;
  const std::int64_t start = NowMS();
  int searchStart = 0;
  int found = -1;
  for (;;) {
    const int size = FInputBuffer->Size();
    if (size > 0) {
      if (searchStart < size) found = FInputBuffer->IndexOf(term, searchStart);
      // Bytes already searched are not searched again.
      searchStart = std::max(0, size - (termLen - 1));
    }
    // A terminator found beyond the limit makes an over-long line; so does a buffer that
    // already holds more than the limit with no terminator in it, because any terminator
    // that comes later lies beyond the limit too. Checking the latter early keeps a peer
    // from growing the buffer without bound.
    bool overLong = maxLineLength > 0 && (found > maxLineLength || (found < 0 && searchStart > maxLineLength));
    if (overLong) {
      if (action == maException) throw ENetReadLnMaxLineLengthExceeded();
      FReadLnSplit = true;
      return FInputBuffer->ExtractToString(maxLineLength, enc);
    }
    if (found >= 0) break;
    CheckForDisconnect(true, true);
    if (FillInputBuffer(true, timeoutMS, false) == -1) FReadLnTimedOut = true;
    if (timeoutMS >= 0 && NowMS() - start >= timeoutMS) FReadLnTimedOut = true;
    if (FReadLnTimedOut) return {};
  }
  int lineLen = found;
  if (lineFeed && found > 0 && FInputBuffer->PeekByte(found - 1) == '\r') --lineLen;
  std::string line = enc->GetString(FInputBuffer->Data(), static_cast<std::size_t>(lineLen));
  FInputBuffer->Remove(found + termLen);
  return line;
}

std::string TNetIOHandler::ReadLnWait(int failCount, const INetTextEncoding* encoding) {
  for (int attempt = 0; attempt < failCount; ++attempt) {
    std::string line = ReadLn(encoding);
    std::string_view trimmed = TrimBlanks(line);
    if (!trimmed.empty()) return std::string(trimmed);
    if (FReadLnTimedOut) throw ENetReadTimeout();
  }
  throw ENetReadLnWaitMaxAttemptsExceeded();
}

void TNetIOHandler::ReadBytes(TNetBytes& buffer, int count, bool append) {
  if (count > 0) {
    while (FInputBuffer->Size() < count) {
      FillInputBuffer(false, NetTimeoutDefault, true);
      if (FInputBuffer->Size() >= count) break;
      CheckForDisconnect(true, true);
    }
    FInputBuffer->ExtractToBytes(buffer, count, append);
  } else if (count < 0) {
    FillInputBuffer(false, NetTimeoutDefault, false);
    CheckForDisconnect(true, true);
    FInputBuffer->ExtractToBytes(buffer, -1, append);
  }
}

std::int32_t TNetIOHandler::ReadInt32(bool convert) {
  TNetBytes b;
  ReadBytes(b, 4);
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(b[static_cast<std::size_t>(convert ? 3 - i : i)]) << (8 * i);
  return static_cast<std::int32_t>(v);
}

std::int64_t TNetIOHandler::ReadInt64(bool convert) {
  TNetBytes b;
  ReadBytes(b, 8);
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(b[static_cast<std::size_t>(convert ? 7 - i : i)]) << (8 * i);
  return static_cast<std::int64_t>(v);
}

std::uint16_t TNetIOHandler::ReadUInt16(bool convert) {
  TNetBytes b;
  ReadBytes(b, 2);
  return convert ? static_cast<std::uint16_t>((b[0] << 8) | b[1]) : static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::int16_t TNetIOHandler::ReadInt16(bool convert) { return static_cast<std::int16_t>(ReadUInt16(convert)); }

std::uint8_t TNetIOHandler::ReadByte() {
  TNetBytes b;
  ReadBytes(b, 1);
  return b[0];
}

char TNetIOHandler::ReadChar() { return static_cast<char>(ReadByte()); }

void TNetIOHandler::ReadStream(core::TStream& stream, std::int64_t count, bool readUntilDisconnect) {
  if (count == -1 && !readUntilDisconnect) count = FLargeStream ? ReadInt64() : ReadInt32();
  if (count >= 0) {
    std::int64_t position = stream.Position();
    if (position > std::numeric_limits<std::int64_t>::max() - count) throw ENetIOHandlerStreamDataTooLarge();
    // Pre-sizing saves a file system from growing the file piece by piece. A memory stream
    // would have to allocate whatever the peer declared before a byte of it arrived, so it
    // grows with the data instead; a file that cannot take the size just grows as it goes.
    if (dynamic_cast<core::TMemoryStream*>(&stream) == nullptr && count > 0) {
      try {
        stream.SetSize(position + count);
        stream.SetPosition(position);
      } catch (const core::Exception&) {
        stream.SetPosition(position);
      }
    }
  }
  if (count < 0) readUntilDisconnect = true;

  BeginWork(wmRead, readUntilDisconnect ? 0 : count);
  auto finish = [&]() {
    EndWork(wmRead);
    if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  };
  try {
    int buffered = FInputBuffer->Size();
    if (!readUntilDisconnect) buffered = static_cast<int>(std::min<std::int64_t>(buffered, count));
    if (buffered > 0) {
      FInputBuffer->ExtractToStream(stream, buffered);
      if (!readUntilDisconnect) count -= buffered;
    }
    TNetBytes chunkBytes(static_cast<std::size_t>(FRecvBufferSize));
    for (;;) {
      int chunk = readUntilDisconnect ? static_cast<int>(chunkBytes.size())
                                      : static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(chunkBytes.size()), count));
      if (chunk <= 0) break;
      if (FIntercept == nullptr && FInputBuffer->Size() == 0) {
        // Nothing buffered: receive straight into the block (one copy less per block).
        if (static_cast<int>(chunkBytes.size()) != chunk) chunkBytes.resize(static_cast<std::size_t>(chunk));
        int got;
        try {
          got = ReceiveDirect(chunkBytes);
        } catch (const ENetConnClosedGracefully&) {
          if (readUntilDisconnect) break;
          throw;
        }
        TNetAntiFreezeBase::DoProcess();
        stream.WriteBuffer(chunkBytes.data(), static_cast<std::size_t>(got));
        if (!readUntilDisconnect) count -= got;
        continue;
      }
      try {
        ReadBytes(chunkBytes, chunk, false);
      } catch (const std::exception& e) {
        // What did arrive belongs in the stream even when the read failed.
        int got = std::min(FInputBuffer->Size(), chunk);
        if (got > 0) {
          FInputBuffer->ExtractToBytes(chunkBytes, got, false);
          stream.WriteBuffer(chunkBytes.data(), static_cast<std::size_t>(got));
        }
        if (readUntilDisconnect && dynamic_cast<const ENetConnClosedGracefully*>(&e) != nullptr) break;
        throw;
      }
      TNetAntiFreezeBase::DoProcess();
      stream.WriteBuffer(chunkBytes.data(), static_cast<std::size_t>(chunk));
      if (!readUntilDisconnect) count -= chunk;
    }
  } catch (...) {
    try {
      finish();
    } catch (...) {
      // The first failure is the one the caller needs to see.
    }
    throw;
  }
  finish();
}

void TNetIOHandler::Discard(std::int64_t count) {
  if (count <= 0) return;
  BeginWork(wmRead, count);
  try {
    while (count > 0) {
      int n = static_cast<int>(std::min<std::int64_t>(count, FInputBuffer->Size()));
      if (n > 0) {
        FInputBuffer->Remove(n);
        count -= n;
      }
      if (count > 0 && FillInputBuffer(false, NetTimeoutDefault, true) == 0) CheckForDisconnect(true, true);
    }
  } catch (...) {
    EndWork(wmRead);
    throw;
  }
  EndWork(wmRead);
}

void TNetIOHandler::DiscardAll() {
  BeginWork(wmRead, 0);
  try {
    for (;;) {
      FInputBuffer->Remove(FInputBuffer->Size());
      try {
        FillInputBuffer(true, NetTimeoutDefault, true);
      } catch (const ENetConnClosedGracefully&) {
        break;
      } catch (...) {
        FInputBuffer->Remove(FInputBuffer->Size());
        throw;
      }
      TNetAntiFreezeBase::DoProcess();
    }
    FInputBuffer->Remove(FInputBuffer->Size());
  } catch (...) {
    EndWork(wmRead);
    throw;
  }
  EndWork(wmRead);
}

std::string TNetIOHandler::InputBufferAsString(const INetTextEncoding* encoding) {
  return FInputBuffer->ExtractToString(-1, encoding != nullptr ? encoding : DefStringEncoding());
}

void TNetIOHandler::InputBufferToStream(core::TStream& stream, int count) { FInputBuffer->ExtractToStream(stream, count); }

// ---------------------------------------------------------------------------------------
// Sending

void TNetIOHandler::Write(const TNetBytes& bytes, int length, int offset) {
  if (offset < 0) offset = 0;
  long long after = static_cast<long long>(bytes.size()) - offset;
  long long count = length < 0 ? after : std::min<long long>(length, after);
  if (count < 1) return;
  if (FWriteBuffer != nullptr) {
    FWriteBuffer->Write(bytes, static_cast<int>(count), offset);
    while (FWriteBufferThreshold > 0 && FWriteBuffer != nullptr && FWriteBuffer->Size() >= FWriteBufferThreshold)
      WriteBufferFlush(FWriteBufferThreshold);
  } else {
    WriteDirect(bytes, static_cast<int>(count), offset);
  }
}

void TNetIOHandler::Write(std::string_view text, const INetTextEncoding* encoding) {
  if (text.empty()) return;
  const INetTextEncoding* enc = encoding != nullptr ? encoding : DefStringEncoding();
  Write(enc->GetBytes(text));
}

void TNetIOHandler::WriteLn(std::string_view text, const INetTextEncoding* encoding) {
  const INetTextEncoding* enc = encoding != nullptr ? encoding : DefStringEncoding();
  TNetBytes bytes = enc->GetBytes(text);
  bytes.push_back('\r');
  bytes.push_back('\n');
  Write(bytes);
}

void TNetIOHandler::WriteLnRFC(std::string_view text, const INetTextEncoding* encoding) {
  if (!text.empty() && text.front() == '.') {
    WriteLn("." + std::string(text), encoding);
  } else {
    WriteLn(text, encoding);
  }
}

void TNetIOHandler::Write(const std::vector<std::string>& lines, bool writeLinesCount,
                          const INetTextEncoding* encoding) {
  const bool opened = FWriteBuffer == nullptr;
  if (opened) WriteBufferOpen(-1);
  try {
    if (writeLinesCount) Write(static_cast<std::int32_t>(lines.size()));
    for (const std::string& line : lines) WriteLn(line, encoding);
    if (opened) WriteBufferClose();
  } catch (...) {
    if (opened) WriteBufferCancel();
    throw;
  }
}

void TNetIOHandler::Write(std::int16_t value, bool convert) {
  auto v = static_cast<std::uint16_t>(value);
  TNetBytes b = convert ? TNetBytes{static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}
                        : TNetBytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  Write(b);
}

void TNetIOHandler::Write(std::int32_t value, bool convert) {
  auto v = static_cast<std::uint32_t>(value);
  TNetBytes b(4);
  for (int i = 0; i < 4; ++i) b[static_cast<std::size_t>(convert ? 3 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
  Write(b);
}

void TNetIOHandler::Write(std::int64_t value, bool convert) {
  auto v = static_cast<std::uint64_t>(value);
  TNetBytes b(8);
  for (int i = 0; i < 8; ++i) b[static_cast<std::size_t>(convert ? 7 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
  Write(b);
}

void TNetIOHandler::Write(core::TStream& stream, std::int64_t count, bool writeByteCount) {
  if (count < 0) {
    count = stream.Size() - stream.Position();
  } else if (count == 0) {
    stream.SetPosition(0);
    count = stream.Size();
  }
  if (writeByteCount) {
    if (FLargeStream) {
      Write(static_cast<std::int64_t>(count));
    } else {
      if (count > std::numeric_limits<std::int32_t>::max()) throw ENetIOHandlerRequiresLargeStream();
      Write(static_cast<std::int32_t>(count));
    }
  }
  BeginWork(wmWrite, count);
  try {
    TNetBytes buffer(static_cast<std::size_t>(std::min<std::int64_t>(FSendBufferSize, std::max<std::int64_t>(count, 0))));
    while (count > 0) {
      std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), count));
      std::size_t n = stream.Read(buffer.data(), want);
      if (n == 0) throw ENetNoDataToRead();
      Write(buffer, static_cast<int>(n));
      count -= static_cast<std::int64_t>(n);
    }
  } catch (...) {
    EndWork(wmWrite);
    throw;
  }
  EndWork(wmWrite);
}

void TNetIOHandler::WriteDirect(const TNetBytes& bytes, int length, int offset) {
  CheckForDisconnect(true, true);
  if (offset < 0) offset = 0;
  long long after = static_cast<long long>(bytes.size()) - offset;
  long long total = length < 0 ? after : std::min<long long>(length, after);
  if (total < 1) return;
  const TNetBytes* source = &bytes;
  TNetBytes filtered;
  int position = offset;
  int remaining = static_cast<int>(std::min<long long>(total, std::numeric_limits<int>::max()));
  if (FIntercept != nullptr) {
    filtered.assign(bytes.begin() + offset, bytes.begin() + offset + remaining);
    FIntercept->Send(filtered);
    source = &filtered;
    position = 0;
    remaining = static_cast<int>(filtered.size());
  }
  while (remaining > 0) {
    int n = WriteToSocket(*source, position, remaining);
    if (n < 0) {
      int code = FilterError(n);
      FClosedGracefully = true;
      Close();
      RaiseErrorCode(code);
    }
    TNetAntiFreezeBase::DoProcess(false);
    if (n == 0) FClosedGracefully = true;
    CheckForDisconnect(true, false);
    DoWork(wmWrite, n);
    position += n;
    remaining -= n;
  }
}

void TNetIOHandler::WriteBufferOpen(int threshold) {
  if (FWriteBuffer != nullptr) {
    FWriteBuffer->Clear();
  } else {
    FWriteBuffer = std::make_unique<TNetBuffer>();
  }
  FWriteBufferThreshold = threshold;
}

void TNetIOHandler::WriteBufferFlush(int count) {
  if (FWriteBuffer == nullptr || FWriteBuffer->Size() == 0) return;
  int n = count < 0 ? FWriteBuffer->Size() : std::min(count, FWriteBuffer->Size());
  TNetBytes bytes = FWriteBuffer->Extract(n);
  WriteDirect(bytes);
}

void TNetIOHandler::WriteBufferClose() {
  try {
    WriteBufferFlush(-1);
  } catch (...) {
    FWriteBuffer.reset();
    throw;
  }
  FWriteBuffer.reset();
}

void TNetIOHandler::WriteBufferCancel() {
  WriteBufferClear();
  FWriteBuffer.reset();
}

void TNetIOHandler::WriteBufferClear() {
  if (FWriteBuffer != nullptr) FWriteBuffer->Clear();
}

}  // namespace tarvo::net
