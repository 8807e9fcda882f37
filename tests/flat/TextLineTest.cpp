// Growing a text by one line, as the line appenders of the flat interface do.
#include "flat/TextLine.h"

#include <gtest/gtest.h>

#include <string>

using VelXmlN::detail::appendTextLine;

TEST(AppendTextLine, LineFeedOnlyBetweenLines) {
    EXPECT_EQ(appendTextLine("", "x"), "x");
    EXPECT_EQ(appendTextLine("x", "y"), "x\ny");
    EXPECT_EQ(appendTextLine("x\ny", "z"), "x\ny\nz");
    EXPECT_EQ(appendTextLine("x", ""), "x\n") << "an empty line still starts a new line";
    EXPECT_EQ(appendTextLine("", ""), "");
    EXPECT_EQ(appendTextLine("a\r", "b"), "a\r\nb") << "a single 0x0A, nothing else added";
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(appendTextLine(withZero, withZero), std::string("a\0b\na\0b", 7));
}
