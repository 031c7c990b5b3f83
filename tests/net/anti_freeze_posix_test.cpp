// The anti-freeze hook while the name service answers slowly (a stack of the POSIX kind
// with a resolver that takes its time).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_stack.h"
#include "net/net_stack_posix.h"

namespace tarvo::net {
namespace {

// A name service that takes its time.
class TSlowResolverStack : public TNetStackPosix {
public:
  std::string LookupHostAddress(const std::string&, TNetIPVersion) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    return "10.1.2.3";
  }
};

class TCancellingAntiFreeze : public TNetAntiFreezeBase {
public:
  int Calls = 0;
  int CancelAt = -1;  // the call that raises, as a user's Cancel does
  void Process() override {
    if (++Calls == CancelAt) throw ENetException("cancelled");
  }
};

// A slow resolver gives the hook its turns, and a hook that raises ends the wait at once;
// the answer that comes later is dropped and the stack stays in use until it came.
TEST(AntiFreeze, ASlowNameServiceKeepsTheWindowAliveAndCanBeLeft) {
  TNetAntiFreezeBase::SetMainThread(std::this_thread::get_id());
  const TNetStackFactory previous =
      TNetStack::SetStackClass([]() -> std::unique_ptr<TNetStack> { return std::make_unique<TSlowResolverStack>(); });
  TNetStack::IncUsage();
  const int users = TNetStack::UserCount();
  for (int cancelAt : {-1, 3}) {
    TCancellingAntiFreeze hook;
    hook.SetIdleTimeOut(20);
    hook.CancelAt = cancelAt;
    const auto start = std::chrono::steady_clock::now();
    if (cancelAt < 0) {
      EXPECT_EQ(TNetStack::Get().ResolveHost("slow.example"), "10.1.2.3");
      EXPECT_GE(hook.Calls, 10);
    } else {
      EXPECT_THROW(TNetStack::Get().ResolveHost("slow.example"), ENetException);
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
      EXPECT_EQ(hook.Calls, 3);
    }
    for (int i = 0; i < 200 && TNetStack::UserCount() != users; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(TNetStack::UserCount(), users);
  }
  TNetStack::DecUsage();
  TNetStack::SetStackClass(previous);
}

}  // namespace
}  // namespace tarvo::net
