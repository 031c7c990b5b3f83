// The buffered I/O handler: every byte a protocol reads or writes passes through it.
// Received bytes collect in InputBuffer() and are handed out as lines (ReadLn), counts of
// bytes (ReadBytes) or streams (ReadStream); writes go out at once or, between
// WriteBufferOpen and WriteBufferClose, are collected and sent in larger blocks.
//
// The source of bytes is abstract: TNetIOHandlerStack (net_io_handler_socket.h) reads from a
// TCP socket; TNetIOHandlerMemory (net_io_handler_memory.h) from scripted byte chunks.
//
// Peer close: once the peer has closed, bytes already buffered can still be read; a read
// that needs more raises ENetConnClosedGracefully "Connection Closed Gracefully.".
// Time limits (milliseconds): -1 = the handler's ReadTimeout, -2 = no limit; a ReadTimeout
// of -1 or 0 means no limit. ReadLn answers a time-out with an empty line and
// ReadLnTimedOut() set; ReadBytes, ReadStream, Discard and ReadLnWait raise ENetReadTimeout.
//
// Read work (OnWork) is counted when bytes leave the input buffer, write work per send;
// ReadStream, Discard, DiscardAll and Write(stream) bracket their work with BeginWork/EndWork.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "net/net_buffer.h"
#include "net/net_component.h"
#include "net/net_encoding.h"
#include "net/net_intercept.h"
#include "net/net_types.h"

namespace tarvo::net {

class TNetIOHandler : public TNetComponent {
  TARVO_PERSISTENT_CLASS(TNetIOHandler)
public:
  // Longest line ReadLn accepts when no limit is passed; also a limit on how many bytes a
  // peer can make us buffer while no terminator has arrived.
  static constexpr int DefaultMaxLineLength = 16384;
  static constexpr int DefaultBufferSize = 32768;

  explicit TNetIOHandler(core::TComponent* owner = nullptr);
  ~TNetIOHandler() override;

  // --- properties --------------------------------------------------------------------
  TNetBuffer& InputBuffer() noexcept { return *FInputBuffer; }
  int RecvBufferSize() const noexcept { return FRecvBufferSize; }
  void SetRecvBufferSize(int value) noexcept { FRecvBufferSize = value > 0 ? value : DefaultBufferSize; }
  int SendBufferSize() const noexcept { return FSendBufferSize; }
  void SetSendBufferSize(int value) noexcept { FSendBufferSize = value > 0 ? value : DefaultBufferSize; }
  int MaxLineLength() const noexcept { return FMaxLineLength; }
  void SetMaxLineLength(int value) noexcept { FMaxLineLength = value; }
  TNetMaxLineAction MaxLineAction() const noexcept { return FMaxLineAction; }
  void SetMaxLineAction(TNetMaxLineAction value) noexcept { FMaxLineAction = value; }
  int MaxCapturedLines() const noexcept { return FMaxCapturedLines; }
  void SetMaxCapturedLines(int value) noexcept { FMaxCapturedLines = value; }
  bool LargeStream() const noexcept { return FLargeStream; }
  void SetLargeStream(bool value) noexcept { FLargeStream = value; }
  int ReadTimeout() const noexcept { return FReadTimeout; }
  void SetReadTimeout(int value) noexcept { FReadTimeout = value; }
  int ConnectTimeout() const noexcept { return FConnectTimeout; }
  void SetConnectTimeout(int value) noexcept { FConnectTimeout = value; }
  // nullptr reads back as ASCII.
  const INetTextEncoding* DefStringEncoding() const noexcept { return NetEncodingOrDefault(FDefStringEncoding); }
  void SetDefStringEncoding(const INetTextEncoding* value) noexcept { FDefStringEncoding = value; }
  bool ReadLnSplit() const noexcept { return FReadLnSplit; }
  bool ReadLnTimedOut() const noexcept { return FReadLnTimedOut; }
  bool ClosedGracefully() const noexcept { return FClosedGracefully; }
  bool Opened() const noexcept { return FOpened; }
  const std::string& Host() const noexcept { return FHost; }
  virtual void SetHost(const std::string& value) { FHost = value; }
  std::uint16_t Port() const noexcept { return FPort; }
  virtual void SetPort(std::uint16_t value) { FPort = value; }
  // "host:port"; setting splits on the last ':'.
  virtual std::string Destination() const;
  virtual void SetDestination(const std::string& value);
  TNetConnectionIntercept* Intercept() const noexcept { return FIntercept; }
  virtual void SetIntercept(TNetConnectionIntercept* value) { FIntercept = value; }

  // --- lifecycle ---------------------------------------------------------------------
  // Clears ClosedGracefully and both buffers and sets Opened; descendants then connect.
  virtual void Open();
  // Tells the intercept, clears Opened and empties the write buffer (also when the
  // intercept fails). Unread input stays until the next Open.
  virtual void Close();
  // Opened and (peer not closed, or unread input remains).
  virtual bool Connected();
  // When the peer has closed (or the source is gone) and raise is set, raises
  // ENetConnClosedGracefully if ignoreBuffer is set or the input buffer is empty.
  virtual void CheckForDisconnect(bool raise = true, bool ignoreBuffer = false) = 0;
  // True when the source has bytes (or a close) to deliver within timeoutMS.
  virtual bool Readable(int timeoutMS = NetTimeoutInfinite) = 0;
  // True when at least one new byte arrived within timeoutMS.
  bool CheckForDataOnSource(int timeoutMS = 0);

  // --- reading -----------------------------------------------------------------------
  // A line without its terminator (default line feed; a CR before an LF terminator is
  // dropped too). maxLineLength -1 = MaxLineLength(). Over-long lines raise
  // ENetReadLnMaxLineLengthExceeded or, with maSplit, come back in pieces of the limit;
  // the limit also holds while no terminator has arrived yet.
  std::string ReadLn(const INetTextEncoding* encoding = nullptr);
  std::string ReadLn(std::string_view terminator, int timeoutMS = NetTimeoutDefault, int maxLineLength = -1,
                     const INetTextEncoding* encoding = nullptr);
  // ReadLn with maSplit for this call; wasSplit tells whether the line was cut.
  std::string ReadLnSplit(bool& wasSplit, std::string_view terminator = "\n", int timeoutMS = NetTimeoutDefault,
                          int maxLineLength = -1, const INetTextEncoding* encoding = nullptr);
  // The first line that is not blank (trimmed), trying at most failCount lines. Raises
  // ENetReadTimeout on a time-out and ENetReadLnWaitMaxAttemptsExceeded after failCount
  // blank lines.
  std::string ReadLnWait(int failCount = 2147483647, const INetTextEncoding* encoding = nullptr);
  // Exactly count bytes into buffer (appended, or over its start). count < 0: whatever one
  // receive brings. Raises ENetConnClosedGracefully when the peer closes before count bytes.
  void ReadBytes(TNetBytes& buffer, int count, bool append = true);
  // count bytes (or until the peer closes with readUntilDisconnect / a negative count) into
  // stream, in RecvBufferSize blocks. count -1 without readUntilDisconnect reads a 4-byte
  // (8 with LargeStream) network-order count first. On failure the stream keeps what
  // arrived, is cut to its position, and the exception continues.
  void ReadStream(core::TStream& stream, std::int64_t count = -1, bool readUntilDisconnect = false);
  std::int32_t ReadInt32(bool convert = true);
  std::int64_t ReadInt64(bool convert = true);
  std::uint16_t ReadUInt16(bool convert = true);
  std::int16_t ReadInt16(bool convert = true);
  std::uint8_t ReadByte();
  char ReadChar();
  // Consumes count bytes.
  void Discard(std::int64_t count);
  // Reads and drops everything until the peer closes.
  void DiscardAll();
  bool InputBufferIsEmpty() const noexcept { return FInputBuffer->Size() == 0; }
  std::string InputBufferAsString(const INetTextEncoding* encoding = nullptr);
  void InputBufferToStream(core::TStream& stream, int count = -1);

  // --- writing -----------------------------------------------------------------------
  // length -1 = all bytes after offset.
  void Write(const TNetBytes& bytes, int length = -1, int offset = 0);
  void Write(std::string_view text, const INetTextEncoding* encoding = nullptr);
  void Write(const char* text, const INetTextEncoding* encoding = nullptr) { Write(std::string_view(text), encoding); }
  void Write(const std::string& text, const INetTextEncoding* encoding = nullptr) { Write(std::string_view(text), encoding); }
  // Each string through WriteLn, in one buffered block; writeLinesCount sends the count first.
  void Write(const std::vector<std::string>& lines, bool writeLinesCount = false,
             const INetTextEncoding* encoding = nullptr);
  // count < 0: from the position to the end; 0: the whole stream; > 0: that many bytes.
  void Write(core::TStream& stream, std::int64_t count = 0, bool writeByteCount = false);
  void Write(std::int16_t value, bool convert = true);
  void Write(std::int32_t value, bool convert = true);
  void Write(std::int64_t value, bool convert = true);
  // text followed by "\r\n".
  void WriteLn(std::string_view text = {}, const INetTextEncoding* encoding = nullptr);
  // WriteLn with a leading '.' doubled.
  void WriteLnRFC(std::string_view text = {}, const INetTextEncoding* encoding = nullptr);
  // Sends now, bypassing the write buffer.
  void WriteDirect(const TNetBytes& bytes, int length = -1, int offset = 0);

  // threshold > 0: flush whenever that many bytes are collected; otherwise only on close.
  void WriteBufferOpen(int threshold = -1);
  void WriteBufferFlush(int count = -1);
  void WriteBufferClose();
  void WriteBufferCancel();
  void WriteBufferClear();
  bool WriteBufferingActive() const noexcept { return FWriteBuffer != nullptr; }

  // The central receive step: receives once (waiting up to timeoutMS) into the input
  // buffer. Returns the bytes added, 0 when the source closed, -1 on a time-out (or raises
  // ENetReadTimeout with raiseOnTimeout).
  int FillInputBuffer(bool raiseIfDisconnected = true, int timeoutMS = NetTimeoutDefault, bool raiseOnTimeout = true);

protected:
  // One receive into buffer (its size is the most to take); returns the count, 0 when the
  // source closed. Failures raise (or return a negative value for FilterError).
  virtual int ReadFromSocket(TNetBytes& buffer) = 0;
  // One send; returns the count sent (may be short), negative on failure.
  virtual int WriteToSocket(const TNetBytes& bytes, int offset, int length) = 0;
  // A source (socket) is allocated.
  virtual bool HasSource() const = 0;
  // For a negative result: the error code when it is one of the "connection gone" codes
  // (10058, 10053, 10054); raises for any other.
  virtual int FilterError(int result) = 0;
  [[noreturn]] virtual void RaiseErrorCode(int code) = 0;

  void SetClosedGracefully(bool value) noexcept { FClosedGracefully = value; }
  // The base rule of Connected() (after CheckForDisconnect(false, false)).
  bool BaseConnected();

private:
  std::string ReadLnImpl(std::string_view terminator, int timeoutMS, int maxLineLength,
                         const INetTextEncoding* encoding, TNetMaxLineAction action);
  void InputBufferBytesRemoved(int count);
  int EffectiveTimeout(int timeoutMS) const noexcept;
  int ReceiveDirect(TNetBytes& buffer);
  // The blocks of ReadStream after the buffered bytes: count more bytes, or all up to the
  // peer's close.
  void ReadStreamBlocks(core::TStream& stream, std::int64_t count, bool readUntilDisconnect);

  std::unique_ptr<TNetBuffer> FInputBuffer;
  std::unique_ptr<TNetBuffer> FWriteBuffer;
  int FWriteBufferThreshold = 0;
  int FRecvBufferSize = DefaultBufferSize;
  int FSendBufferSize = DefaultBufferSize;
  int FMaxLineLength = DefaultMaxLineLength;
  TNetMaxLineAction FMaxLineAction = maException;
  int FMaxCapturedLines = -1;
  bool FLargeStream = false;
  int FReadTimeout = -1;
  int FConnectTimeout = 0;
  const INetTextEncoding* FDefStringEncoding = nullptr;
  bool FReadLnSplit = false;
  bool FReadLnTimedOut = false;
  bool FClosedGracefully = false;
  bool FOpened = false;
  std::string FHost;
  std::uint16_t FPort = 0;
  TNetConnectionIntercept* FIntercept = nullptr;
};

}  // namespace tarvo::net
