// What a device callback pays to post one notification, alone and against a second poster,
// and what the main thread pays to dispatch it.
#include <benchmark/benchmark.h>

#include "platform/message_queue.h"

namespace ztlive {
namespace {

class Counter : public MessageHandler {
 public:
  void OnMessage(const Message& message) override { sum += message.value; }
  int64_t sum = 0;
};

void BM_PostThenDispatch(benchmark::State& state) {
  MessageQueue queue;
  Counter counter;
  const uint32_t target = queue.Register(&counter);
  const auto batch = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (size_t i = 0; i < batch; ++i) queue.Post({target, 1, i, 1});
    queue.DispatchPending();
  }
  benchmark::DoNotOptimize(counter.sum);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * batch));
}
BENCHMARK(BM_PostThenDispatch)->Arg(1)->Arg(64)->Arg(1024);

// A second thread posts while the main thread posts and drains, as an audio callback and the
// main loop do. Only the main thread dispatches: the queue has one reader.
void BM_ContendedPost(benchmark::State& state) {
  static MessageQueue* queue = nullptr;
  static Counter counter;
  static uint32_t target = 0;
  if (state.thread_index() == 0) {
    queue = new MessageQueue;
    target = queue->Register(&counter);
  }
  for (auto _ : state) {
    const bool posted = queue->Post({target, 1, 0, 1});
    benchmark::DoNotOptimize(posted);
    if (state.thread_index() == 0) queue->DispatchPending();
  }
  state.SetItemsProcessed(state.iterations());
  if (state.thread_index() == 0) {
    delete queue;
    queue = nullptr;
  }
}
BENCHMARK(BM_ContendedPost)->Threads(2)->UseRealTime();

}  // namespace
}  // namespace ztlive
