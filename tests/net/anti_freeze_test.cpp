// The anti-freeze hook: one per process, and blocking transport calls give it a turn.
#include <gtest/gtest.h>

#include <thread>

#include "core/memory_stream.h"
#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_io_handler_memory.h"

namespace tarvo::net {
namespace {

class TCountingAntiFreeze : public TNetAntiFreezeBase {
public:
  int Calls = 0;
  void Process() override { ++Calls; }
};

TEST(AntiFreeze, OnlyOneInstanceAndStreamReadsGiveItTurns) {
  TNetAntiFreezeBase::SetMainThread(std::this_thread::get_id());
  TCountingAntiFreeze hook;
  try {
    TCountingAntiFreeze second;
    FAIL();
  } catch (const ENetException& e) {
    EXPECT_EQ(e.Message(), "Only one TNetAntiFreeze can exist per application.");
  }
  EXPECT_EQ(TNetAntiFreezeBase::Instance(), &hook);  // the failed second one did not replace it
  TNetIOHandlerMemory io;
  io.SetRecvBufferSize(10);
  io.QueueInput(std::string(100, 'x'));
  io.Open();
  core::TMemoryStream s;
  io.ReadStream(s, 100);
  EXPECT_GE(hook.Calls, 10);
  // Sends are not idle: with OnlyWhenIdle they do not process.
  int before = hook.Calls;
  io.Write("abc");
  EXPECT_EQ(hook.Calls, before);
  hook.SetOnlyWhenIdle(false);
  io.Write("abc");
  EXPECT_EQ(hook.Calls, before + 1);
  // Other threads never process.
  std::thread([&] { TNetAntiFreezeBase::DoProcess(); }).join();
  EXPECT_EQ(hook.Calls, before + 1);
  hook.SetActive(false);
  TNetAntiFreezeBase::DoProcess();
  EXPECT_EQ(hook.Calls, before + 1);
}

TEST(AntiFreeze, NoneAfterTheInstanceIsGone) {
  { TCountingAntiFreeze hook; }
  EXPECT_EQ(TNetAntiFreezeBase::Instance(), nullptr);
  EXPECT_FALSE(TNetAntiFreezeBase::ShouldUse());
}

}  // namespace
}  // namespace tarvo::net
