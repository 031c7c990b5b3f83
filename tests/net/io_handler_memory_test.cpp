// Reading and writing through the in-memory source: lines, counts and streams against
// exactly split input, line limits, time-outs, encodings, write buffering and work events.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "net/net_exception.h"
#include "net/net_io_handler_memory.h"
#include "net/net_poll.h"

namespace tarvo::net {
namespace {

std::string Str(const TNetBytes& b) { return std::string(b.begin(), b.end()); }

TEST(IOHandlerMemory, LinesSplitAcrossReceivesWithCrLfAndBareLf) {
  TNetIOHandlerMemory io;
  io.QueueInput("HTTP/1.1 200 O");
  io.QueueInput("K\r");
  io.QueueInput("\nA: b\nC:\rd\r\n\r\nlast");
  io.QueuePeerClose();
  io.Open();
  EXPECT_EQ(io.ReadLn(), "HTTP/1.1 200 OK");
  EXPECT_EQ(io.ReadLn(), "A: b");
  EXPECT_EQ(io.ReadLn(), "C:\rd");  // a lone CR does not end a line
  EXPECT_EQ(io.ReadLn(), "");
  // The peer closed after "last" without a line end: the line is never complete...
  EXPECT_THROW(io.ReadLn(), ENetConnClosedGracefully);
  // ...but the bytes can still be read by count.
  TNetBytes rest;
  io.ReadBytes(rest, 4);
  EXPECT_EQ(Str(rest), "last");
  EXPECT_THROW(io.ReadBytes(rest, 1), ENetConnClosedGracefully);
}

// The same exchange split at every offset (and at every pair of offsets) must read the same.
TEST(IOHandlerMemory, ResultDoesNotDependOnReceiveBoundaries) {
  const std::string wire = "STATUS 200\r\nKey: v\n\r\n0123456789tail-until-close";
  for (std::size_t a = 0; a <= wire.size(); ++a) {
    for (std::size_t b = a; b <= wire.size(); b += 3) {
      TNetIOHandlerMemory io;
      io.QueueInput(wire.substr(0, a));
      io.QueueInput(wire.substr(a, b - a));
      io.QueueInput(wire.substr(b));
      io.QueuePeerClose();
      io.Open();
      ASSERT_EQ(io.ReadLn(), "STATUS 200");
      ASSERT_EQ(io.ReadLn(), "Key: v");
      ASSERT_EQ(io.ReadLn(), "");
      TNetBytes ten;
      io.ReadBytes(ten, 10);
      ASSERT_EQ(Str(ten), "0123456789");
      core::TMemoryStream rest;
      io.ReadStream(rest, -1, true);
      ASSERT_EQ(rest.DataString(), "tail-until-close") << a << "/" << b;
    }
  }
}

TEST(IOHandlerMemory, LineLengthLimit) {
  const std::string exact(TNetIOHandler::DefaultMaxLineLength, 'x');
  {
    TNetIOHandlerMemory io;
    io.QueueInput(exact + "\n" + exact + "y\nrest\n");
    io.Open();
    EXPECT_EQ(io.ReadLn(), exact);  // exactly the maximum is accepted
    try {
      io.ReadLn();
      FAIL();
    } catch (const ENetReadLnMaxLineLengthExceeded& e) {
      EXPECT_EQ(e.Message(), "Max line length exceeded.");
    }
  }
  {
    TNetIOHandlerMemory io;
    io.SetMaxLineAction(maSplit);
    io.QueueInput(exact + "yz\nnext\n");
    io.Open();
    EXPECT_EQ(io.ReadLn(), exact);
    EXPECT_TRUE(io.ReadLnSplit());
    EXPECT_EQ(io.ReadLn(), "yz");  // the rest stays for the next read
    EXPECT_FALSE(io.ReadLnSplit());
    EXPECT_EQ(io.ReadLn(), "next");
  }
}

// A peer that never sends a terminator must not make the buffer grow without bound: once
// more than the limit is buffered, the read fails (or splits) instead of waiting for more.
TEST(IOHandlerMemory, LineWithoutTerminatorStopsAtTheLimit) {
  {
    TNetIOHandlerMemory io;
    io.SetCloseWhenDrained(false);  // the peer stays silent but connected
    io.QueueInput(std::string(100, 'a'));
    io.Open();
    EXPECT_THROW(io.ReadLn("\n", -1, 50), ENetReadLnMaxLineLengthExceeded);
  }
  {
    // Endless input: the reader gives up after at most one receive beyond the limit.
    TNetIOHandlerMemory io;
    io.SetRecvBufferSize(1000);
    for (int i = 0; i < 1000; ++i) io.QueueInput(std::string(1000, 'a'));
    io.Open();
    EXPECT_THROW(io.ReadLn(), ENetReadLnMaxLineLengthExceeded);
    EXPECT_LE(io.InputBuffer().Size(), TNetIOHandler::DefaultMaxLineLength + 1000);
  }
  {
    TNetIOHandlerMemory io;
    io.SetCloseWhenDrained(false);
    io.QueueInput(std::string(60, 'a'));
    io.Open();
    bool split = false;
    EXPECT_EQ(io.ReadLnSplit(split, "\n", -1, 50), std::string(50, 'a'));
    EXPECT_TRUE(split);
  }
  {
    // A two-byte terminator whose first byte sits right at the limit is still awaited.
    TNetIOHandlerMemory io;
    io.QueueInput("abcde\r");
    io.QueueInput("\nz");
    io.Open();
    EXPECT_EQ(io.ReadLn("\r\n", -1, 5), "abcde");
  }
}

TEST(IOHandlerMemory, ReadLnTimeOutGivesEmptyLineReadLnWaitRaises) {
  TNetIOHandlerMemory io;
  io.SetCloseWhenDrained(false);
  io.QueueInput("partial");
  io.Open();
  EXPECT_EQ(io.ReadLn("\n", 10), "");
  EXPECT_TRUE(io.ReadLnTimedOut());
  try {
    io.ReadLnWait();
    FAIL();
  } catch (const ENetReadTimeout& e) {
    EXPECT_EQ(e.Message(), "Read timed out.");
  }
  TNetIOHandlerMemory blank;
  blank.QueueInput("\r\n  \r\n\t\n  value  \n");
  blank.Open();
  EXPECT_EQ(blank.ReadLnWait(), "value");
  TNetIOHandlerMemory onlyBlank;
  onlyBlank.QueueInput("\n\n\n");
  onlyBlank.Open();
  try {
    onlyBlank.ReadLnWait(2);
    FAIL();
  } catch (const ENetReadLnWaitMaxAttemptsExceeded& e) {
    EXPECT_EQ(e.Message(), "Max line read attempts exceeded.");
  }
}

// A peer that trickles a line in pieces, each taking 400 ms on a test clock.
class TTricklingPeer : public TNetIOHandlerMemory {
public:
  static inline std::int64_t Now = 0;
  static std::int64_t Clock() { return Now; }
  bool Readable(int timeoutMS) override {
    Now += 400;
    return TNetIOHandlerMemory::Readable(timeoutMS);
  }
};

// A line read's time limit covers the whole line: bytes that keep coming do not extend it.
TEST(IOHandlerMemory, TricklingPeerCannotHoldALineReadPastItsLimit) {
  struct TCase {
    int TimeoutMS;
    const char* Line;  // what ReadLn returns
    bool TimedOut;
  };
  for (const TCase& c : std::vector<TCase>{{1000, "", true}, {5000, "abcd", false}, {-1, "abcd", false}}) {
    TNetClock previous = SetNetClock(&TTricklingPeer::Clock);
    TTricklingPeer io;
    io.SetCloseWhenDrained(false);
    for (const char* piece : {"a", "b", "c", "d", "\n"}) io.QueueInput(piece);
    io.Open();
    EXPECT_EQ(io.ReadLn("\n", c.TimeoutMS), c.Line) << c.TimeoutMS;
    EXPECT_EQ(io.ReadLnTimedOut(), c.TimedOut) << c.TimeoutMS;
    SetNetClock(previous);
  }
}

TEST(IOHandlerMemory, ReadStreamByCountAndUntilClose) {
  TNetIOHandlerMemory io;
  io.SetRecvBufferSize(7);
  std::string body;
  for (int i = 0; i < 100; ++i) body += static_cast<char>('a' + i % 26);
  io.QueueInput("hdr\n" + body.substr(0, 33));
  io.QueueInput(body.substr(33));
  io.QueueInput("more-after");
  io.QueuePeerClose();
  io.Open();
  EXPECT_EQ(io.ReadLn(), "hdr");
  core::TMemoryStream counted;
  io.ReadStream(counted, 100);
  EXPECT_EQ(counted.DataString(), body);
  core::TMemoryStream rest;
  io.ReadStream(rest, -1, true);
  EXPECT_EQ(rest.DataString(), "more-after");
}

TEST(IOHandlerMemory, ReadStreamCutShortKeepsWhatArrived) {
  TNetIOHandlerMemory io;
  io.QueueInput(std::string(60, 'q'));
  io.QueuePeerClose();
  io.Open();
  core::TMemoryStream stream;
  try {
    io.ReadStream(stream, 100);
    FAIL();
  } catch (const ENetConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  EXPECT_EQ(stream.Size(), 60);
  EXPECT_EQ(stream.DataString(), std::string(60, 'q'));
}

TEST(IOHandlerMemory, ReadStreamWithLengthPrefix) {
  TNetIOHandlerMemory io;
  io.QueueInput(std::string("\x00\x00\x00\x03xyz", 7));
  io.Open();
  core::TMemoryStream stream;
  io.ReadStream(stream);
  EXPECT_EQ(stream.DataString(), "xyz");
  // A declared size beyond what a stream can hold is refused before anything is read.
  TNetIOHandlerMemory large;
  large.SetLargeStream(true);
  large.QueueInput(std::string("\x7f\xff\xff\xff\xff\xff\xff\xff", 8));
  large.Open();
  core::TMemoryStream target;
  target.Write("ab", 2);
  EXPECT_THROW(large.ReadStream(target), ENetIOHandlerStreamDataTooLarge);
}

TEST(IOHandlerMemory, SocketErrorWhileReadingKeepsBufferedBytesInTheStream) {
  TNetIOHandlerMemory io;
  io.QueueInput("abc");
  io.QueueError(10054);
  io.Open();
  core::TMemoryStream stream;
  try {
    io.ReadStream(stream, 10);
    FAIL();
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.LastError(), 10054);
    EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
  EXPECT_EQ(stream.DataString(), "abc");
}

TEST(IOHandlerMemory, DiscardAndDiscardAll) {
  TNetIOHandlerMemory io;
  io.QueueInput("0123");
  io.QueueInput("456789");
  io.QueueInput("tail");
  io.QueuePeerClose();
  io.Open();
  io.Discard(7);
  TNetBytes b;
  io.ReadBytes(b, 3);
  EXPECT_EQ(Str(b), "789");
  io.DiscardAll();
  EXPECT_TRUE(io.InputBufferIsEmpty());
  EXPECT_FALSE(io.Connected());
}

TEST(IOHandlerMemory, EncodingsOfTextOperations) {
  TNetIOHandlerMemory io;
  io.QueueInput("caf\xC3\xA9\n\xE9t\xE9\n");
  io.Open();
  io.Write(std::string("na\xC3\xAFve \xE2\x82\xAC"));  // "naïve €"
  EXPECT_EQ(io.OutputString(), "na?ve ?");
  io.ClearOutput();
  io.Write(std::string("na\xC3\xAFve \xE2\x82\xAC"), NetEncoding8Bit());
  EXPECT_EQ(io.OutputString(), "na\xEFve ?");
  // ASCII reads every byte of 128 or more as U+FFFD.
  EXPECT_EQ(io.ReadLn(), "caf\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(io.ReadLn(NetEncoding8Bit()), "\xC3\xA9t\xC3\xA9");
}

TEST(IOHandlerMemory, WriteBuffering) {
  TNetIOHandlerMemory io;
  io.Open();
  io.WriteBufferOpen(0);
  io.Write("abc");
  io.WriteLn("def");
  EXPECT_EQ(io.OutputString(), "");  // threshold 0: nothing before the close
  io.WriteBufferClose();
  EXPECT_EQ(io.OutputString(), "abcdef\r\n");
  io.ClearOutput();
  io.WriteBufferOpen(4);
  io.Write("abcdefghij");
  EXPECT_EQ(io.OutputString(), "abcdefgh");
  io.WriteBufferCancel();
  EXPECT_EQ(io.OutputString(), "abcdefgh");
  EXPECT_FALSE(io.WriteBufferingActive());
  io.ClearOutput();
  io.SetMaxSendChunk(3);  // partial sends are continued until everything is out
  io.Write(std::vector<std::string>{"one", ".two"});
  io.WriteLnRFC(".dot");
  EXPECT_EQ(io.OutputString(), "one\r\n.two\r\n..dot\r\n");
}

// Integers on the wire in network order (convert) and in host order, both ways; the bytes
// are those Python's struct.pack(">h"/"<h", ...) writes.
TEST(IOHandlerMemory, IntegersInBothByteOrders) {
  struct TCase {
    std::int64_t Value;
    int Size;
    bool Convert;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {-2, 2, true, std::string("\xFF\xFE", 2)},
      {0x1234, 2, false, std::string("\x34\x12", 2)},
      {0x01020304, 4, true, std::string("\x01\x02\x03\x04", 4)},
      {-0x7FFFFFFF - 1, 4, false, std::string("\x00\x00\x00\x80", 4)},
      {0x0102030405060708, 8, true, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {-1, 8, false, std::string(8, '\xFF')},
  };
  for (const TCase& c : cases) {
    TNetIOHandlerMemory io;
    io.Open();
    if (c.Size == 2) io.Write(static_cast<std::int16_t>(c.Value), c.Convert);
    if (c.Size == 4) io.Write(static_cast<std::int32_t>(c.Value), c.Convert);
    if (c.Size == 8) io.Write(static_cast<std::int64_t>(c.Value), c.Convert);
    EXPECT_EQ(io.OutputString(), c.Bytes) << c.Value;
    io.QueueInput(c.Bytes);
    std::int64_t read = c.Size == 2 ? io.ReadInt16(c.Convert) : c.Size == 4 ? io.ReadInt32(c.Convert) : io.ReadInt64(c.Convert);
    EXPECT_EQ(read, c.Value);
  }
}

// A (length, offset) pair names at most the bytes there are, whatever the caller passes.
TEST(IOHandlerMemory, WriteTakesOnlyTheBytesThatExist) {
  struct TCase {
    int Length;
    int Offset;
    const char* Sent;
  };
  const TNetBytes bytes{'a', 'b', 'c', 'd'};
  for (const TCase& c : std::vector<TCase>{{-1, 0, "abcd"}, {2, 1, "bc"}, {10, 2, "cd"}, {-1, -5, "abcd"},
                                           {3, 4, ""}, {1, 1000, ""}, {0, 0, ""}}) {
    TNetIOHandlerMemory io;
    io.Open();
    io.Write(bytes, c.Length, c.Offset);
    EXPECT_EQ(io.OutputString(), c.Sent) << c.Length << "," << c.Offset;
    io.ClearOutput();
    io.WriteBufferOpen(-1);  // the same through the write buffer
    io.Write(bytes, c.Length, c.Offset);
    io.WriteBufferClose();
    EXPECT_EQ(io.OutputString(), c.Sent) << c.Length << "," << c.Offset;
  }
}

TEST(IOHandlerMemory, WriteToVanishedPeerClosesAndRaises) {
  TNetIOHandlerMemory io;
  io.Open();
  io.SetWriteError(10054);
  EXPECT_THROW(io.Write("x"), ENetSocketError);
  EXPECT_TRUE(io.ClosedGracefully());
  EXPECT_FALSE(io.Opened());
}

TEST(IOHandlerMemory, WriteStreamSendsTheRequestedRangeWithCount) {
  TNetIOHandlerMemory io;
  io.Open();
  core::TMemoryStream s(TNetBytes{'a', 'b', 'c', 'd'});
  s.SetPosition(1);
  io.Write(s, -1, true);
  EXPECT_EQ(io.OutputString(), std::string("\x00\x00\x00\x03" "bcd", 7));
  io.ClearOutput();
  io.Write(s, 0);
  EXPECT_EQ(io.OutputString(), "abcd");
  io.ClearOutput();
  s.SetPosition(3);
  EXPECT_THROW(io.Write(s, 2), ENetNoDataToRead);
}

// Cleanup that fails too (an end-of-work handler that throws) never hides the failure
// that stopped the work; on success its failure is the caller's to see.
TEST(WorkNotifications, TheFirstFailureIsTheOneRaised) {
  for (bool readFails : {true, false}) {
    TNetIOHandlerMemory io;
    io.Open();
    io.QueueInput("abc");
    if (readFails) io.QueueError(10054);
    io.OnWorkEnd = [](TNetComponent*, TWorkMode) { throw std::runtime_error("handler"); };
    core::TMemoryStream stream;
    try {
      io.ReadStream(stream, readFails ? 10 : 3);
      FAIL();
    } catch (const ENetSocketError& e) {
      EXPECT_TRUE(readFails);
      EXPECT_EQ(e.LastError(), 10054);
    } catch (const std::runtime_error&) {
      EXPECT_FALSE(readFails);
    }
    EXPECT_EQ(stream.DataString(), "abc");
  }
}

struct TWorkLog {
  std::vector<std::string> Events;
  void Attach(TNetComponent& c) {
    c.OnWorkBegin = [this](TNetComponent*, TWorkMode m, std::int64_t max) {
      Events.push_back("begin " + std::to_string(m) + " " + std::to_string(max));
    };
    c.OnWork = [this](TNetComponent*, TWorkMode m, std::int64_t n) {
      Events.push_back("work " + std::to_string(m) + " " + std::to_string(n));
    };
    c.OnWorkEnd = [this](TNetComponent*, TWorkMode m) { Events.push_back("end " + std::to_string(m)); };
  }
};

TEST(WorkNotifications, StreamReadReportsRunningTotals) {
  TNetIOHandlerMemory io;
  io.SetRecvBufferSize(400);
  io.QueueInput(std::string(1000, 'z'));
  io.Open();
  TWorkLog log;
  log.Attach(io);
  core::TMemoryStream s;
  io.ReadStream(s, 1000);
  ASSERT_GE(log.Events.size(), 3u);
  EXPECT_EQ(log.Events.front(), "begin 0 1000");
  EXPECT_EQ(log.Events[log.Events.size() - 2], "work 0 1000");
  EXPECT_EQ(log.Events.back(), "end 0");
  std::int64_t last = 0;
  for (std::size_t i = 1; i + 1 < log.Events.size(); ++i) {
    std::int64_t total = std::stoll(log.Events[i].substr(7));
    EXPECT_GT(total, last);
    last = total;
  }
}

TEST(WorkNotifications, UntilCloseBeginsWithZeroAndFailureStillEnds) {
  TNetIOHandlerMemory io;
  io.QueueInput("abc");
  io.QueuePeerClose();
  io.Open();
  TWorkLog log;
  log.Attach(io);
  core::TMemoryStream s;
  io.ReadStream(s, -1, true);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 0 0", "work 0 3", "end 0"}));

  TNetIOHandlerMemory cut;
  cut.QueueInput("ab");
  cut.QueuePeerClose();
  cut.Open();
  TWorkLog cutLog;
  cutLog.Attach(cut);
  EXPECT_THROW(cut.ReadStream(s, 5), ENetConnClosedGracefully);
  EXPECT_EQ(cutLog.Events, (std::vector<std::string>{"begin 0 5", "work 0 2", "end 0"}));
}

TEST(WorkNotifications, NestingAndWorkOutsideAPair) {
  TNetComponent c;
  TWorkLog log;
  log.Attach(c);
  c.DoWork(wmRead, 5);  // outside a pair: nothing
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(c.WorkInfo(wmRead).Current, 0);
  c.BeginWork(wmWrite, 10);
  c.BeginWork(wmWrite, 99);  // nested: no second begin, no reset
  c.DoWork(wmWrite, 4);
  c.EndWork(wmWrite);        // inner end: no event
  c.DoWork(wmWrite, 6);
  c.EndWork(wmWrite);
  EXPECT_EQ(log.Events, (std::vector<std::string>{"begin 1 10", "work 1 4", "work 1 10", "end 1"}));
  EXPECT_EQ(c.WorkInfo(wmWrite).Current, 10);  // readable after the end
}

TEST(WorkNotifications, TargetReceivesTheWorkAndIsForgottenWhenDestroyed) {
  TNetIOHandlerMemory io;
  TWorkLog handlerLog;
  handlerLog.Attach(io);
  {
    TNetComponent target;
    TWorkLog targetLog;
    targetLog.Attach(target);
    TNetComponent* sender = nullptr;
    target.OnWorkEnd = [&](TNetComponent* s, TWorkMode) { sender = s; };
    io.SetWorkTarget(&target);
    io.QueueInput("12345");
    io.Open();
    io.Discard(5);
    EXPECT_EQ(targetLog.Events, (std::vector<std::string>{"begin 0 5", "work 0 5"}));
    EXPECT_EQ(sender, &target);
  }
  EXPECT_EQ(io.WorkTarget(), nullptr);
  EXPECT_TRUE(handlerLog.Events.empty());
}

}  // namespace
}  // namespace tarvo::net

namespace tarvo::net {
namespace {

// A peer can declare any length; a memory stream must not be grown to it up front.
TEST(IOHandlerMemory, DeclaredLengthIsNotAllocatedBeforeItArrives) {
  TNetIOHandlerMemory io;
  io.QueueInput(std::string("\x00\x00\x01\x00\x00\x00\x00\x00" "0123456789", 18));  // 2^40 bytes declared
  io.QueuePeerClose();
  io.SetLargeStream(true);
  io.Open();
  core::TMemoryStream stream;
  EXPECT_THROW(io.ReadStream(stream), ENetConnClosedGracefully);
  EXPECT_EQ(stream.DataString(), "0123456789");
}

}  // namespace
}  // namespace tarvo::net
