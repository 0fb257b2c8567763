// The reorder buffer behind the study table: order, bounded memory, and a failing
// consumer that must neither lose the order nor hang the producers.
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <thread>

#include "OrderedOutput.h"

using namespace glebix::batch;

TEST(OrderedOutput, WritesInOrderWhateverOrderPiecesFinishIn) {
    constexpr std::size_t pieces = 400, window = 6;
    std::string written;
    std::atomic<std::size_t> mostHeld{0};
    std::size_t expectedIndex = 0;
    OrderedOutput out(
        [&](std::size_t index, std::string &text) {
            EXPECT_EQ(index, expectedIndex++);
            written += text;
        },
        window);
    std::atomic<std::size_t> next{0};
    auto producer = [&](unsigned seed) {
        std::mt19937 random(seed);
        for (std::size_t k; (k = next.fetch_add(1)) < pieces;) {
            out.WaitForTurn(k);
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
            out.Submit(k, k % 7 == 3 ? std::string() : std::to_string(k) + ";");
            for (std::size_t held = out.Held(), seen = mostHeld; held > seen;)
                if (mostHeld.compare_exchange_weak(seen, held)) break;
        }
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) threads.emplace_back(producer, t);
    for (std::thread &t : threads) t.join();

    std::string expected;
    for (std::size_t k = 0; k < pieces; ++k)
        if (k % 7 != 3) expected += std::to_string(k) + ";";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(out.Consumed(), pieces);
    EXPECT_EQ(out.Held(), 0u);
    EXPECT_LE(mostHeld.load(), window);
    EXPECT_EQ(out.Error(), "");
}

TEST(OrderedOutput, AFailingConsumerKeepsItsFirstErrorAndReleasesTheProducers) {
    std::string seen;
    OrderedOutput out(
        [&](std::size_t, std::string &text) {
            seen += text;
            if (text == "b" || text == "c") throw std::runtime_error("Disque plein " + text);
        },
        2);
    out.Submit(1, "b");
    EXPECT_EQ(seen, "");
    out.Submit(0, "a");
    EXPECT_EQ(seen, "ab");
    out.WaitForTurn(3);  // would block for good if a failed piece did not count as handed on
    out.Submit(2, "c");
    out.Submit(3, "d");
    EXPECT_EQ(seen, "abcd");
    EXPECT_EQ(out.Error(), "Disque plein b");
    EXPECT_EQ(out.Consumed(), 4u);
}
