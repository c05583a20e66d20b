// The log display: how the log file's text becomes the text of the console's log field.

#include "console/LogDisplay.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConsoleLogDisplayTest, EachLineEndsWithCrLfWhateverEndedItInTheFile) {
    EXPECT_EQ(LogDisplayText("one\ntwo\nthree\n"), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(LogDisplayText("one\ntwo"), "one\r\ntwo\r\n");
}

TEST(ConsoleLogDisplayTest, EmptyLinesStayAndAnEmptyFileShowsNothing) {
    EXPECT_EQ(LogDisplayText("one\n\nthree\n"), "one\r\n\r\nthree\r\n");
    EXPECT_EQ(LogDisplayText("\n"), "\r\n");
    EXPECT_EQ(LogDisplayText(""), "");
}

TEST(ConsoleLogDisplayTest, ALineThatFillsTheBufferIsShownWhole) {
    const std::string full(511, 'x');
    EXPECT_EQ(LogDisplayText("a\n" + full + "\nb\n"), "a\r\n" + full + "\r\nb\r\n");
    EXPECT_EQ(LogDisplayText(full), full + "\r\n");
}

TEST(ConsoleLogDisplayTest, ALongerLineEndsTheDisplayBeforeIt) {
    EXPECT_EQ(LogDisplayText("a\n" + std::string(600, 'x') + "\nb\n"), "a\r\n");
    EXPECT_EQ(LogDisplayText("a\n" + std::string(512, 'x') + "\nb\n"), "a\r\n");
    EXPECT_EQ(LogDisplayText("a\n" + std::string(512, 'x')), "a\r\n");
    EXPECT_EQ(LogDisplayText(std::string(600, 'x') + "\nb\n"), "");
}

TEST(ConsoleLogDisplayTest, ACarriageReturnInsideALineIsKeptAsRead) {
    // Text mode has already turned CR LF into LF; a lone CR is part of the line.
    EXPECT_EQ(LogDisplayText("a\rb\n"), "a\rb\r\n");
}

}  // namespace
