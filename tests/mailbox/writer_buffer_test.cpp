#include "tests/mailbox/scratch.h"

#include <cstdio>

namespace {

class WriterBufferTest : public MailboxTest {
protected:
    std::pair<std::string, std::uint64_t> written(const std::vector<std::string>& lines) {
        std::FILE* out = open_file(path("lines"), "wb");
        std::uint64_t expected = 0;
        for (const std::string& line : lines) expected += write_line(out, line);
        expected += write_line(out, {}, true);
        std::fclose(out);
        return {read_file("lines"), expected};
    }
};

}  // namespace

// Lines larger than the output buffer, and lines that fill it up to the last byte, keep
// their order, their Ctrl-Z marks and an exact count.
TEST_F(WriterBufferTest, LinesAroundTheBufferSize) {
    for (std::size_t size : {std::size_t{256 * 1024 - 1}, std::size_t{256 * 1024}, std::size_t{600 * 1024}}) {
        std::string big(size, 'b');
        big[size / 2] = '\x1A';
        std::string big_out = big.substr(0, size / 2) + "<EOF>" + big.substr(size / 2 + 1);
        auto [bytes, count] = written({"a\n", big + "\n", ".\n", big + ".\n", ".\n"});
        std::string want = "a\r\n" + big_out + "\r\n.\r\n" + big_out + ".\r\n";
        EXPECT_EQ(want.size(), count) << size;
        EXPECT_TRUE(bytes == want) << size;
        auto [last, last_count] = written({"a\n", big});  // the last line gets its line end
        EXPECT_EQ(big_out.size() + 5, last_count) << size;
        EXPECT_TRUE(last == "a\r\n" + big_out + "\r\n") << size;
    }
}

// A header block is one item of several lines (the caller counts one more byte per further
// line); droppable lines that are not last still go out.
TEST_F(WriterBufferTest, SeveralLinesInOneItemAndDroppedEnds) {
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"A: 1\r\nB: <EOF>\r\n\r\n", 17}),
              written({"A: 1\nB: \x1A\n", "\n", ""}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{".\r\n.\r\n", 6}), written({".\n", ".\n", "."}));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"x\r\n", 3}), written({"x"}));
}

// Abandoned bytes of one file never reach the next.
TEST_F(WriterBufferTest, ResetDropsWhatIsPending) {
    std::FILE* first = open_file(path("first"), "wb");
    write_line(first, "lost\n");
    write_line(first, "also lost\n");
    reset_held_line();
    std::fclose(first);
    EXPECT_EQ("", read_file("first"));
    EXPECT_EQ((std::pair<std::string, std::uint64_t>{"kept\r\n", 6}), written({"kept\n"}));
}
