#include "platform/message_queue.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <thread>
#include <vector>

namespace ztlive {
namespace {

class Recorder : public MessageHandler {
 public:
  void OnMessage(const Message& message) override { received.push_back(message); }
  std::vector<Message> received;
};

bool Readable(int fd) {
  pollfd descriptor{fd, POLLIN, 0};
  return poll(&descriptor, 1, 0) == 1;
}

TEST(MessageQueue, ThreadsPostingConcurrentlyLoseNothingAndKeepTheirOrder) {
  MessageQueue queue;
  Recorder recorder;
  const uint32_t target = queue.Register(&recorder);
  constexpr int kPosters = 3;
  constexpr int kPerPoster = 40000;

  std::vector<std::thread> posters;
  for (int poster = 0; poster < kPosters; ++poster) {
    posters.emplace_back([&, poster] {
      for (int sequence = 0; sequence < kPerPoster; ++sequence) {
        const Message message{target, static_cast<uint32_t>(poster), 0, sequence};
        while (!queue.Post(message)) std::this_thread::yield();  // full: the reader catches up
      }
    });
  }
  const size_t expected = static_cast<size_t>(kPosters) * kPerPoster;
  while (recorder.received.size() < expected && queue.DispatchOne(5000)) {
    queue.DispatchPending();
  }
  for (std::thread& poster : posters) poster.join();

  ASSERT_EQ(recorder.received.size(), expected);
  std::vector<intptr_t> next(kPosters, 0);
  for (const Message& message : recorder.received) {
    ASSERT_LT(message.id, static_cast<uint32_t>(kPosters));
    ASSERT_EQ(message.value, next[message.id]) << "poster " << message.id << " out of order";
    ++next[message.id];
  }
  EXPECT_FALSE(queue.DispatchOne(0));
}

TEST(MessageQueue, AFullQueueRefusesAndCountsThenDeliversWhatItHeld) {
  MessageQueue queue;
  Recorder recorder;
  const uint32_t target = queue.Register(&recorder);
  for (size_t i = 0; i < MessageQueue::kCapacity; ++i)
    ASSERT_TRUE(queue.Post({target, 1, i, 0}));
  EXPECT_FALSE(queue.Post({target, 2, 0, 0}));
  EXPECT_EQ(queue.OverflowCount(), 1u);

  EXPECT_EQ(queue.DispatchPending(), MessageQueue::kCapacity);
  ASSERT_EQ(recorder.received.size(), MessageQueue::kCapacity);
  for (size_t i = 0; i < recorder.received.size(); ++i) EXPECT_EQ(recorder.received[i].param, i);
  // The ring has wrapped: a second lap works the same.
  for (size_t i = 0; i < 10; ++i) ASSERT_TRUE(queue.Post({target, 3, i, 0}));
  EXPECT_EQ(queue.DispatchPending(), 10u);
}

TEST(MessageQueue, DispatchOneWaitsForAPostFromAnotherThreadAndTimesOutWithoutOne) {
  MessageQueue queue;
  Recorder recorder;
  const uint32_t target = queue.Register(&recorder);
  EXPECT_FALSE(queue.DispatchOne(20));

  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    queue.Post({target, 7, 0, 0});
  });
  EXPECT_TRUE(queue.DispatchOne(-1));
  poster.join();
  ASSERT_EQ(recorder.received.size(), 1u);
  EXPECT_EQ(recorder.received[0].id, 7u);
}

// A handler that posts again while being dispatched, as a device handler queues its next buffer.
class Reposter : public MessageHandler {
 public:
  explicit Reposter(MessageQueue& queue) : m_queue(queue) {}
  void OnMessage(const Message& message) override {
    ++handled;
    if (message.value > 0) m_queue.Post({target, 0, 0, message.value - 1});
  }
  uint32_t target = 0;
  int handled = 0;

 private:
  MessageQueue& m_queue;
};

TEST(MessageQueue, DispatchPendingHandlesOnlyWhatWaitedAndDropsUnregisteredTargets) {
  MessageQueue queue;
  Reposter reposter(queue);
  reposter.target = queue.Register(&reposter);
  Recorder gone;
  const uint32_t goneTarget = queue.Register(&gone);

  queue.Post({reposter.target, 0, 0, 2});
  queue.Post({goneTarget, 0, 0, 0});
  queue.Unregister(goneTarget);
  EXPECT_EQ(queue.DispatchPending(), 2u);
  EXPECT_EQ(reposter.handled, 1);
  EXPECT_TRUE(gone.received.empty());
  EXPECT_TRUE(Readable(queue.WakeDescriptor())) << "the repost must leave the queue awake";
  EXPECT_EQ(queue.DispatchPending(), 1u);
  EXPECT_EQ(queue.DispatchPending(), 1u);
  EXPECT_EQ(reposter.handled, 3);
  EXPECT_EQ(queue.DispatchPending(), 0u);
  EXPECT_FALSE(Readable(queue.WakeDescriptor()));
}

TEST(MessageQueue, RegistrationReusesFreedHandlesAndReportsAFullTable) {
  MessageQueue queue;
  Recorder recorder;
  std::vector<uint32_t> targets;
  for (;;) {
    const uint32_t target = queue.Register(&recorder);
    if (target == MessageQueue::kNoTarget) break;
    targets.push_back(target);
  }
  EXPECT_EQ(targets.size(), MessageQueue::kMaxTargets - 1);
  queue.Unregister(targets[5]);
  EXPECT_EQ(queue.Register(&recorder), targets[5]);
}

TEST(MessageQueue, ThePumpHookRunsWhileWaitingAndThePostWakesIt) {
  MessageQueue queue;
  Recorder recorder;
  const uint32_t target = queue.Register(&recorder);
  std::vector<int> waits;
  // A host loop stand-in: it blocks on the wake descriptor as a socket notifier would.
  queue.SetPumpHook([&](int maxWaitMs) {
    waits.push_back(maxWaitMs);
    pollfd descriptor{queue.WakeDescriptor(), POLLIN, 0};
    poll(&descriptor, 1, maxWaitMs);
  });

  queue.DispatchPending();
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0], 0) << "DispatchPending must not block in the hook";

  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.Post({target, 1, 0, 0});
  });
  EXPECT_TRUE(queue.DispatchOne(5000));
  poster.join();
  EXPECT_GE(waits.size(), 2u);
  EXPECT_EQ(recorder.received.size(), 1u);
}

}  // namespace
}  // namespace ztlive
