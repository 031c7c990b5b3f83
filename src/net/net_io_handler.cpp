#include "net/net_io_handler.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "core/byte_order.h"
#include "core/byte_span.h"
#include "core/memory_stream.h"
#include "core/scope_guard.h"
#include "core/text_trim.h"
#include "net/net_exception.h"
#include "net/net_poll.h"

namespace tarvo::net {

namespace {

template <class T>
T ReadInt(TNetIOHandler& io, bool convert) {
  TNetBytes b;
  io.ReadBytes(b, sizeof(T));
  return core::LoadInt<T>(b.data(), convert);
}

template <class T>
void WriteInt(TNetIOHandler& io, T value, bool convert) {
  TNetBytes b(sizeof(T));
  core::StoreInt(value, b.data(), convert);
  io.Write(b);
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
  core::TScopeGuard closed([this] {
    FOpened = false;
    WriteBufferClear();
  });
  if (FIntercept != nullptr) FIntercept->Disconnect();
  closed.Run();
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
  const std::int64_t start = NetNowMS();
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
    if (timeoutMS >= 0 && NetNowMS() - start >= timeoutMS) FReadLnTimedOut = true;
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
    std::string_view trimmed = core::Trim(line);
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

std::int32_t TNetIOHandler::ReadInt32(bool convert) { return ReadInt<std::int32_t>(*this, convert); }

std::int64_t TNetIOHandler::ReadInt64(bool convert) { return ReadInt<std::int64_t>(*this, convert); }

std::uint16_t TNetIOHandler::ReadUInt16(bool convert) { return ReadInt<std::uint16_t>(*this, convert); }

std::int16_t TNetIOHandler::ReadInt16(bool convert) { return ReadInt<std::int16_t>(*this, convert); }

std::uint8_t TNetIOHandler::ReadByte() {
  TNetBytes b;
  ReadBytes(b, 1);
  return b[0];
}

char TNetIOHandler::ReadChar() { return static_cast<char>(ReadByte()); }

namespace {

// Sets the size a counted read will reach at once: it saves a file system from growing the
// file piece by piece. A memory stream would have to allocate whatever the peer declared
// before a byte of it arrived, so it grows with the data instead; a file that cannot take
// the size just grows as it goes.
void Presize(core::TStream& stream, std::int64_t count) {
  std::int64_t position = stream.Position();
  if (position > std::numeric_limits<std::int64_t>::max() - count) throw ENetIOHandlerStreamDataTooLarge();
  if (dynamic_cast<core::TMemoryStream*>(&stream) != nullptr || count == 0) return;
  try {
    stream.SetSize(position + count);
    stream.SetPosition(position);
  } catch (const core::Exception&) {
    stream.SetPosition(position);
  }
}

}  // namespace

void TNetIOHandler::ReadStream(core::TStream& stream, std::int64_t count, bool readUntilDisconnect) {
  if (count == -1 && !readUntilDisconnect) count = FLargeStream ? ReadInt64() : ReadInt32();
  if (count >= 0) Presize(stream, count);
  if (count < 0) readUntilDisconnect = true;

  BeginWork(wmRead, readUntilDisconnect ? 0 : count);
  core::TScopeGuard finish([&] {
    EndWork(wmRead);
    if (stream.Size() > stream.Position()) stream.SetSize(stream.Position());
  });
  int buffered = FInputBuffer->Size();
  if (!readUntilDisconnect) buffered = static_cast<int>(std::min<std::int64_t>(buffered, count));
  if (buffered > 0) {
    FInputBuffer->ExtractToStream(stream, buffered);
    if (!readUntilDisconnect) count -= buffered;
  }
  ReadStreamBlocks(stream, count, readUntilDisconnect);
  finish.Run();
}

void TNetIOHandler::ReadStreamBlocks(core::TStream& stream, std::int64_t count, bool readUntilDisconnect) {
  TNetBytes chunkBytes(static_cast<std::size_t>(FRecvBufferSize));
  for (;;) {
    int chunk = readUntilDisconnect ? static_cast<int>(chunkBytes.size())
                                    : static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(chunkBytes.size()), count));
    if (chunk <= 0) return;
    if (FIntercept == nullptr && FInputBuffer->Size() == 0) {
      // Nothing buffered: receive straight into the block (one copy less per block).
      if (static_cast<int>(chunkBytes.size()) != chunk) chunkBytes.resize(static_cast<std::size_t>(chunk));
      int got;
      try {
        got = ReceiveDirect(chunkBytes);
      } catch (const ENetConnClosedGracefully&) {
        if (readUntilDisconnect) return;
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
      if (readUntilDisconnect && dynamic_cast<const ENetConnClosedGracefully*>(&e) != nullptr) return;
      throw;
    }
    TNetAntiFreezeBase::DoProcess();
    stream.WriteBuffer(chunkBytes.data(), static_cast<std::size_t>(chunk));
    if (!readUntilDisconnect) count -= chunk;
  }
}

void TNetIOHandler::Discard(std::int64_t count) {
  if (count <= 0) return;
  BeginWork(wmRead, count);
  core::TScopeGuard endWork([this] { EndWork(wmRead); });
  while (count > 0) {
    int n = static_cast<int>(std::min<std::int64_t>(count, FInputBuffer->Size()));
    if (n > 0) {
      FInputBuffer->Remove(n);
      count -= n;
    }
    if (count > 0 && FillInputBuffer(false, NetTimeoutDefault, true) == 0) CheckForDisconnect(true, true);
  }
  endWork.Run();
}

void TNetIOHandler::DiscardAll() {
  BeginWork(wmRead, 0);
  core::TScopeGuard endWork([this] {
    FInputBuffer->Remove(FInputBuffer->Size());
    EndWork(wmRead);
  });
  for (;;) {
    FInputBuffer->Remove(FInputBuffer->Size());
    try {
      FillInputBuffer(true, NetTimeoutDefault, true);
    } catch (const ENetConnClosedGracefully&) {
      break;
    }
    TNetAntiFreezeBase::DoProcess();
  }
  endWork.Run();
}

std::string TNetIOHandler::InputBufferAsString(const INetTextEncoding* encoding) {
  return FInputBuffer->ExtractToString(-1, encoding != nullptr ? encoding : DefStringEncoding());
}

void TNetIOHandler::InputBufferToStream(core::TStream& stream, int count) { FInputBuffer->ExtractToStream(stream, count); }

// ---------------------------------------------------------------------------------------
// Sending

void TNetIOHandler::Write(const TNetBytes& bytes, int length, int offset) {
  const core::TByteSpan span = core::ClampSpan(bytes.size(), length, offset);
  if (span.Count == 0) return;
  const int count = static_cast<int>(std::min<std::size_t>(span.Count, std::numeric_limits<int>::max()));
  offset = static_cast<int>(span.Offset);
  if (FWriteBuffer != nullptr) {
    FWriteBuffer->Write(bytes, count, offset);
    while (FWriteBufferThreshold > 0 && FWriteBuffer != nullptr && FWriteBuffer->Size() >= FWriteBufferThreshold)
      WriteBufferFlush(FWriteBufferThreshold);
  } else {
    WriteDirect(bytes, count, offset);
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
  core::TScopeGuard cancel([this] { WriteBufferCancel(); });
  if (!opened) cancel.Dismiss();
  if (writeLinesCount) Write(static_cast<std::int32_t>(lines.size()));
  for (const std::string& line : lines) WriteLn(line, encoding);
  cancel.Dismiss();
  if (opened) WriteBufferClose();
}

void TNetIOHandler::Write(std::int16_t value, bool convert) { WriteInt(*this, value, convert); }

void TNetIOHandler::Write(std::int32_t value, bool convert) { WriteInt(*this, value, convert); }

void TNetIOHandler::Write(std::int64_t value, bool convert) { WriteInt(*this, value, convert); }

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
  core::TScopeGuard endWork([this] { EndWork(wmWrite); });
  TNetBytes buffer(static_cast<std::size_t>(std::min<std::int64_t>(FSendBufferSize, std::max<std::int64_t>(count, 0))));
  while (count > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), count));
    std::size_t n = stream.Read(buffer.data(), want);
    if (n == 0) throw ENetNoDataToRead();
    Write(buffer, static_cast<int>(n));
    count -= static_cast<std::int64_t>(n);
  }
  endWork.Run();
}

void TNetIOHandler::WriteDirect(const TNetBytes& bytes, int length, int offset) {
  CheckForDisconnect(true, true);
  const core::TByteSpan span = core::ClampSpan(bytes.size(), length, offset);
  if (span.Count == 0) return;
  const TNetBytes* source = &bytes;
  TNetBytes filtered;
  int position = static_cast<int>(span.Offset);
  int remaining = static_cast<int>(std::min<std::size_t>(span.Count, std::numeric_limits<int>::max()));
  if (FIntercept != nullptr) {
    filtered.assign(bytes.begin() + position, bytes.begin() + position + remaining);
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
  core::TScopeGuard drop([this] { FWriteBuffer.reset(); });
  WriteBufferFlush(-1);
  drop.Run();
}

void TNetIOHandler::WriteBufferCancel() {
  WriteBufferClear();
  FWriteBuffer.reset();
}

void TNetIOHandler::WriteBufferClear() {
  if (FWriteBuffer != nullptr) FWriteBuffer->Clear();
}

}  // namespace tarvo::net
