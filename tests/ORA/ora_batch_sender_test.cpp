// The sender's thread runs one batch at a time while the caller goes on;
// the verdict, or what the sending raised, reaches the caller at wait().
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "ora_batch_sender.h"

namespace {

TEST(ora_batch_sender, verdicts_and_raises_come_back_in_turn)
{
    ora_batch_sender sender;
    EXPECT_FALSE(sender.busy());
    EXPECT_EQ(sender.wait().sent, 0u);  // nothing on its way: nothing to wait for
    const std::thread::id caller = std::this_thread::get_id();
    for (uint64_t n = 1; n <= 3; ++n) {
        std::atomic<bool> elsewhere{false};
        sender.start([&, n] {
            elsewhere = std::this_thread::get_id() != caller;
            ora_batch_outcome o;
            o.sent = n;
            o.committed = n - 1;
            o.failures.push_back({n, 1, u"ORA-00001"});
            return o;
        });
        EXPECT_TRUE(sender.busy());
        ora_batch_outcome o = sender.wait();
        EXPECT_FALSE(sender.busy());
        EXPECT_TRUE(elsewhere);
        EXPECT_EQ(o.sent, n);
        EXPECT_EQ(o.committed, n - 1);
        ASSERT_EQ(o.failures.size(), 1u);
        EXPECT_EQ(o.failures[0].row, n);
    }
    sender.start([]() -> ora_batch_outcome { throw std::runtime_error("bind refused"); });
    EXPECT_THROW(sender.wait(), std::runtime_error);
    EXPECT_FALSE(sender.busy());
    // The thread survives a raise and sends the next batch.
    sender.start([] { return ora_batch_outcome{7, 7, {}, false}; });
    EXPECT_EQ(sender.wait().committed, 7u);
}

TEST(ora_batch_sender, going_away_waits_for_the_batch_on_its_way)
{
    std::atomic<bool> finished{false};
    {
        ora_batch_sender sender;
        sender.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
            return ora_batch_outcome{};
        });
    }
    EXPECT_TRUE(finished);
    ora_batch_sender raising;
    raising.start([]() -> ora_batch_outcome { throw std::runtime_error("lost"); });
    // ~ora_batch_sender swallows the raise: a destructor must not throw.
}

}  // namespace
