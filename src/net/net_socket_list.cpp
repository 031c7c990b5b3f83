#include "net/net_socket_list.h"

#include <algorithm>

#include "net/net_exception.h"
#include "net/net_poll.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

bool NetWaitReadable(TNetStackSocketHandle fd, int timeoutMS) {
  if (timeoutMS < 0) timeoutMS = -1;
  TNetPollFd p{fd, NetPollIn, 0};
  return NetPoll(&p, 1, timeoutMS) > 0;
}

void TNetSocketList::Add(TNetStackSocketHandle handle) {
  std::lock_guard<std::mutex> guard(FLock);
  if (std::find(FHandles.begin(), FHandles.end(), handle) != FHandles.end()) return;
  if (static_cast<int>(FHandles.size()) >= MaxSockets) throw ENetStackSetSizeExceeded();
  FHandles.push_back(handle);
}

void TNetSocketList::Remove(TNetStackSocketHandle handle) {
  std::lock_guard<std::mutex> guard(FLock);
  FHandles.erase(std::remove(FHandles.begin(), FHandles.end(), handle), FHandles.end());
}

bool TNetSocketList::ContainsSocket(TNetStackSocketHandle handle) const {
  std::lock_guard<std::mutex> guard(FLock);
  return std::find(FHandles.begin(), FHandles.end(), handle) != FHandles.end();
}

int TNetSocketList::Count() const {
  std::lock_guard<std::mutex> guard(FLock);
  return static_cast<int>(FHandles.size());
}

TNetStackSocketHandle TNetSocketList::Items(int index) const {
  std::lock_guard<std::mutex> guard(FLock);
  if (index < 0 || index >= static_cast<int>(FHandles.size())) return Net_INVALID_SOCKET;
  return FHandles[static_cast<std::size_t>(index)];
}

void TNetSocketList::Clear() {
  std::lock_guard<std::mutex> guard(FLock);
  FHandles.clear();
}

std::unique_ptr<TNetSocketList> TNetSocketList::Clone() const {
  auto copy = std::make_unique<TNetSocketList>();
  std::lock_guard<std::mutex> guard(FLock);
  copy->FHandles = FHandles;
  return copy;
}

bool TNetSocketList::Select(TNetSocketList* readList, TNetSocketList* writeList, TNetSocketList* exceptList,
                            int timeoutMS) {
  struct TSlot {
    TNetSocketList* List;
    short Events;
  };
  TSlot slots[3] = {{readList, NetPollIn}, {writeList, NetPollOut}, {exceptList, NetPollPri}};
  std::vector<TNetPollFd> fds;
  std::vector<int> owner;
  for (int s = 0; s < 3; ++s) {
    if (slots[s].List == nullptr) continue;
    std::lock_guard<std::mutex> guard(slots[s].List->FLock);
    for (int h : slots[s].List->FHandles) {
      fds.push_back(TNetPollFd{h, slots[s].Events, 0});
      owner.push_back(s);
    }
  }
  int rc = NetPoll(fds.data(), fds.size(), timeoutMS);
  for (int s = 0; s < 3; ++s) {
    if (slots[s].List == nullptr) continue;
    std::vector<int> ready;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      // Hang-ups and errors count as readable: the next receive reports them.
      short mask = slots[s].Events | (s == 0 ? (NetPollHangUp | NetPollError) : 0);
      if (owner[i] == s && (fds[i].REvents & mask) != 0) ready.push_back(fds[i].Fd);
    }
    std::lock_guard<std::mutex> guard(slots[s].List->FLock);
    slots[s].List->FHandles = std::move(ready);
  }
  return rc > 0;
}

bool TNetSocketList::SelectRead(int timeoutMS) { return Select(this, nullptr, nullptr, timeoutMS); }

bool TNetSocketList::SelectReadList(TNetSocketList& readyList, int timeoutMS) const {
  auto copy = Clone();
  bool result = copy->SelectRead(timeoutMS);
  std::lock_guard<std::mutex> guard(readyList.FLock);
  readyList.FHandles = copy->FHandles;
  return result;
}

}  // namespace tarvo::net
