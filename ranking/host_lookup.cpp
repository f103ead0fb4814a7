// The lookup thread and the state it shares with the window's thread.
#include "ranking/host_lookup.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "app/window.h"
#include "platform/clock.h"
#include "ranking/ranking_client.h"

namespace {

// What the lookup thread hands back. Both threads hold it, so the thread may outlive the wait.
struct Lookup {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::vector<platform::Endpoint> found;
};

void LookUp(const std::shared_ptr<Lookup>& lookup, const std::string& host, uint16_t port) {
  std::vector<platform::Endpoint> found;
  platform::ResolveHost(host.c_str(), port, false, found);
  const std::lock_guard<std::mutex> lock(lookup->mutex);
  lookup->found = std::move(found);
  lookup->done = true;
  lookup->ended.notify_one();
}

// Waits a few milliseconds for the lookup's end; true when it ended, its answer then moved to
// `endpoints`. Under the fake clock the fake time moves on by the same step.
bool WaitForLookup(Lookup& lookup, std::vector<platform::Endpoint>& endpoints) {
  std::unique_lock<std::mutex> lock(lookup.mutex);
  if (!lookup.ended.wait_for(lock, std::chrono::milliseconds(kConnectWaitStepMs), [&] { return lookup.done; })) {
    lock.unlock();
    if (platform::FakeClockInUse()) platform::WaitUntilElapsed(platform::Ticks(), kConnectWaitStepMs);
    return false;
  }
  endpoints = std::move(lookup.found);
  return true;
}

}  // namespace

bool LookUpHost(const char* host, uint16_t port, uint32_t limitMs, std::vector<platform::Endpoint>& endpoints) {
  if (host == nullptr || *host == 0) {
    endpoints.clear();
    return false;
  }
  if (platform::ResolveHost(host, port, true, endpoints)) return true;
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread(LookUp, lookup, std::string(host), port).detach();
  } catch (const std::system_error&) {
    return false;  // no thread to be had: as a name that does not resolve
  }
  const uint32_t start = platform::Ticks();
  for (;;) {
    const bool ended = WaitForLookup(*lookup, endpoints);
    PumpMessages();
    if (ended) return !endpoints.empty();
    if (platform::Ticks() - start >= limitMs) return false;
  }
}
