// Loopback throughput of network handles: batches of 100-byte and 64 KiB
// messages from one handle to another in this process, counted in messages
// and bytes per second, pumping as a program's frame loop would.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "network/network.h"
#include "network/network_services.h"

namespace {

constexpr int kBatch = 64;

struct LoopbackPair {
  int client = -1;
  int server = -1;
};

// One connected pair for the whole run, made on first use.
const LoopbackPair& Pair() {
  static const LoopbackPair pair = [] {
    LoopbackPair made;
    setenv("QZ_BACKEND", "headless", 0);
    if (qz::StartNetwork() != 0 || qz::ListenNetWork("127.0.0.1", 0) == -1) return made;
    made.client = qz::ConnectNetWork("127.0.0.1", qz::GetListenNetWorkPort());
    for (int pass = 0; pass < 100000 && (made.server == -1 || qz::GetNetWorkAcceptState(made.client) != 1); ++pass) {
      qz::PumpNetworkMessages(1);
      if (made.server == -1) made.server = qz::GetNewAcceptNetWork();
    }
    return made;
  }();
  return pair;
}

void BM_NetworkLoopbackMessages(benchmark::State& state) {
  const LoopbackPair& pair = Pair();
  if (pair.server == -1) {
    state.SkipWithError("no loopback connection");
    return;
  }
  const auto size = static_cast<int>(state.range(0));
  std::vector<char> message(static_cast<std::size_t>(size), 'm');
  std::vector<char> received(static_cast<std::size_t>(size) * kBatch);
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) qz::NetWorkSend(pair.client, message.data(), size);
    int taken = 0;
    while (taken < size * kBatch) {
      qz::PumpNetworkMessages(1);
      const int got = qz::NetWorkRecv(pair.server, received.data(), static_cast<int>(received.size()));
      if (got < 0) {
        state.SkipWithError("connection lost");
        return;
      }
      taken += got;
    }
    benchmark::DoNotOptimize(received.data());
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.SetBytesProcessed(state.iterations() * kBatch * size);
}
BENCHMARK(BM_NetworkLoopbackMessages)->Arg(100)->Arg(64 * 1024)->UseRealTime();

}  // namespace
