// An I/O handler without a socket: what it "receives" is a script of byte chunks, each
// delivered by one receive exactly as queued (a chunk larger than RecvBufferSize is handed
// out over several receives), and everything it "sends" is captured. Tests and fuzzers use
// it to drive a protocol against exact, arbitrarily split bytes; it can also be handed to a
// TNetTCPClientCustom (SetIOHandler) in place of the socket handler, since Connect only
// needs Open().
//
//   TNetIOHandlerMemory io;
//   io.QueueInput("HTTP/1.1 200 OK\r\nContent-Le");   // one receive
//   io.QueueInput("ngth: 3\r\n\r\nabc");               // the next receive
//   io.QueuePeerClose();                               // then the peer closes
//   client.SetIOHandler(&io);                          // not owned by the client
//   ... client.Connect() ... client.IOHandler()->ReadLn() ...
//   io.OutputString();                                 // what the client sent
//
// Script entries are consumed in order across connections: after a peer close the next
// Open() continues with whatever follows in the queue, so several connections (a redirect,
// a reconnect) can be scripted in one queue. QueueError(code) makes the receive fail with
// that socket error (10054 = reset by peer). When the queue runs dry the peer counts as
// closed, unless SetCloseWhenDrained(false), which makes an empty queue a read time-out.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "net/net_io_handler.h"

namespace tarvo::net {

class TNetIOHandlerMemory : public TNetIOHandler {
  TARVO_PERSISTENT_CLASS(TNetIOHandlerMemory)
public:
  explicit TNetIOHandlerMemory(core::TComponent* owner = nullptr);
  ~TNetIOHandlerMemory() override;

  // --- the script of what the peer sends -----------------------------------------------
  void QueueInput(const TNetBytes& chunk);
  void QueueInput(std::string_view chunk);
  void QueuePeerClose();
  void QueueError(int socketErrorCode);
  void ClearInput();
  // Number of script entries not yet consumed.
  std::size_t PendingInput() const noexcept { return FScript.size(); }
  bool CloseWhenDrained() const noexcept { return FCloseWhenDrained; }
  void SetCloseWhenDrained(bool value) noexcept { FCloseWhenDrained = value; }

  // --- what was sent -------------------------------------------------------------------
  const TNetBytes& Output() const noexcept { return FOutput; }
  std::string OutputString() const { return std::string(FOutput.begin(), FOutput.end()); }
  void ClearOutput() noexcept { FOutput.clear(); }
  // Sends fail with this socket error from now on (0 = succeed again).
  void SetWriteError(int socketErrorCode) noexcept { FWriteError = socketErrorCode; }
  // At most this many bytes per send (0 = all), to exercise partial sends.
  void SetMaxSendChunk(int value) noexcept { FMaxSendChunk = value; }

  // Number of Open() calls so far, and a hook run by each (after the source is opened).
  int OpenCount() const noexcept { return FOpenCount; }
  std::function<void(TNetIOHandlerMemory&)> OnOpen;

  void Open() override;
  void Close() override;
  bool Connected() override;
  void CheckForDisconnect(bool raise = true, bool ignoreBuffer = false) override;
  bool Readable(int timeoutMS = NetTimeoutInfinite) override;

protected:
  int ReadFromSocket(TNetBytes& buffer) override;
  int WriteToSocket(const TNetBytes& bytes, int offset, int length) override;
  bool HasSource() const override { return FSourceOpen; }
  int FilterError(int result) override;
  [[noreturn]] void RaiseErrorCode(int code) override;

private:
  struct TEntry {
    enum Kind { Data, Close, Error } Kind;
    TNetBytes Bytes;
    std::size_t Offset = 0;
    int Code = 0;
  };

  std::deque<TEntry> FScript;
  bool FCloseWhenDrained = true;
  bool FSourceOpen = false;
  TNetBytes FOutput;
  int FWriteError = 0;
  int FMaxSendChunk = 0;
  int FOpenCount = 0;
};

}  // namespace tarvo::net
