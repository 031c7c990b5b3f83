// Reading and writing through the in-memory source: lines, counts and streams against
// exactly split input.
#include <gtest/gtest.h>

#include "core/memory_stream.h"
#include "net/net_exception.h"
#include "net/net_io_handler_memory.h"

namespace tarvo::net {
namespace {

TEST(IOHandlerMemory, LinesSplitAcrossReceivesWithCrLfAndBareLf) {
  TNetIOHandlerMemory io;
  io.QueueInput("HTTP/1.1 200 O");
  io.QueueInput("K\r");
  io.QueueInput("\nA: b\nlast");
  io.QueuePeerClose();
  io.Open();
  EXPECT_EQ(io.ReadLn(), "HTTP/1.1 200 OK");
  EXPECT_EQ(io.ReadLn(), "A: b");
  EXPECT_THROW(io.ReadLn(), ENetConnClosedGracefully);
  TNetBytes rest;
  io.ReadBytes(rest, 4);
  EXPECT_EQ(std::string(rest.begin(), rest.end()), "last");
}

TEST(IOHandlerMemory, CapturesWrites) {
  TNetIOHandlerMemory io;
  io.Open();
  io.WriteLn("GET / HTTP/1.1");
  io.Write(std::string("x\xC3\xA9"));
  EXPECT_EQ(io.OutputString(), "GET / HTTP/1.1\r\nx?");
}

}  // namespace
}  // namespace tarvo::net
