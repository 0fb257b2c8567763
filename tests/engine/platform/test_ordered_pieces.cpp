// The reorder buffer behind the study table and the state file: order, bounded memory,
// and a failure that must neither lose the order nor hang the producers.
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <stdexcept>
#include <thread>

#include "Errors.h"
#include "OrderedPieces.h"

namespace glebix {
namespace {

TEST(OrderedPieces, WritesInOrderWhateverOrderPiecesFinishIn) {
    constexpr std::size_t pieces = 400, window = 6;
    std::string written;
    std::atomic<std::size_t> mostHeld{0};
    std::size_t expectedIndex = 0;
    OrderedPieces out(
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
            std::string piece = k % 7 == 3 ? std::string() : std::to_string(k) + ";";
            out.Submit(k, piece);
            EXPECT_TRUE(piece.empty());  // storage of a piece handed on, for the next
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

TEST(OrderedPieces, AFailingConsumerKeepsItsFirstErrorAndReleasesTheProducers) {
    std::string seen;
    OrderedPieces out(
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

// Pieces made on several threads come out in order, however many and on however many
// threads; a piece that cannot be made stops the others and its error comes out.
TEST(OrderedPieces, MadeOnThreadsComeOutInOrderOrStopOnAFailure) {
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{200}}) {
        for (const int threads : {1, 2, 4}) {
            std::string out, expected;
            for (std::size_t k = 0; k < count; ++k) expected += std::to_string(k) + ",";
            MakePiecesInOrder(
                count, threads, [](std::size_t k, std::string &piece) { piece += std::to_string(k) + ","; },
                [&out](std::string_view piece) { out += piece; });
            EXPECT_EQ(out, expected) << count << " " << threads;
        }
    }
    std::size_t taken = 0;
    auto failAt = [](std::size_t k, std::string &piece) {
        if (k == 57) throw GlebixError("pièce 57");
        piece = "x";
    };
    try {
        MakePiecesInOrder(200, 2, failAt, [&taken](std::string_view) { ++taken; });
        ADD_FAILURE() << "no error";
    } catch (const GlebixError &e) { EXPECT_STREQ(e.what(), "pièce 57"); }
    EXPECT_LE(taken, 57u);
}

}  // namespace
}  // namespace glebix
