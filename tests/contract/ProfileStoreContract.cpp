#include "tests/contract/ProfileStoreContract.h"

#include <climits>

namespace {

constexpr const char* kMissingFile = "zHoraluxMissing.ini";

}  // namespace

TEST_P(ProfileStoreContract, ReadIntTakesTheLeadingSignedDecimal) {
    EXPECT_EQ(readInt("Options", "nOffset", 17), 17) << "no file";
    ASSERT_TRUE(write("Options", "nOffset", "-90"));
    ASSERT_TRUE(write("Options", "nTimeOut", "abc"));
    ASSERT_TRUE(write("Options", "nLogFileLen", "12abc"));
    ASSERT_TRUE(write("Options", "nSynPeriod", "+3"));
    ASSERT_TRUE(write("Options", "nMaxAttempts", "-2147483648"));
    EXPECT_EQ(readInt("Options", "nOffset", 17), -90);
    EXPECT_EQ(readInt("OPTIONS", "NOFFSET", 17), -90) << "names ignore case";
    EXPECT_EQ(readInt("Options", "nTimeOut", 17), 0);
    EXPECT_EQ(readInt("Options", "nLogFileLen", 17), 12);
    EXPECT_EQ(readInt("Options", "nSynPeriod", 17), 3);
    EXPECT_EQ(readInt("Options", "nMaxAttempts", 17), INT_MIN);
    EXPECT_EQ(readInt("Options", "missing", -5), -5) << "no key";
    EXPECT_EQ(readInt("Nowhere", "nOffset", 8), 8) << "no section";
}

TEST_P(ProfileStoreContract, ReadStringTruncatesToTheBufferLessOne) {
    ASSERT_TRUE(write("Servers", "Servers 0", "Title~host~1"));
    EXPECT_EQ(readString("Servers", "Servers 0", "", 1024), "Title~host~1");
    EXPECT_EQ(readString("Servers", "Servers 0", "", 6), "Title");
    EXPECT_EQ(readString("Servers", "Servers 0", "", 0), "");
    EXPECT_EQ(readString("Servers", "Servers 9", "Undefined"), "Undefined");
    EXPECT_EQ(readString("Servers", "Servers 9", "Undefined", 4), "Und");
    EXPECT_EQ(subject().store().readString(kMissingFile, "S", "k", "def", 256), "def");
}

TEST_P(ProfileStoreContract, WritesReplaceInPlaceAndAppendAtTheEnd) {
    ASSERT_TRUE(write("Servers", "a", "1"));   // creates the file
    ASSERT_TRUE(write("Options", "b", "2"));   // new section at the end
    ASSERT_TRUE(write("Servers", "c", "3"));   // new key, end of section
    ASSERT_TRUE(write("servers", "A", "-4"));  // in place, names as they were
    EXPECT_EQ(subject().fileText(), "[Servers]\r\na=-4\r\nc=3\r\n[Options]\r\nb=2\r\n");
    EXPECT_EQ(readInt("Servers", "a", 0), -4);
    // Blanks around a written value never come back (the file may keep trailing ones).
    ASSERT_TRUE(write("Options", "b", "  5  "));
    EXPECT_EQ(readString("Options", "b", ""), "5");
}

// A file edited by hand: blank lines, blanks around names and values, quotes, an empty value,
// a line that is no key, the same names in other cases.
TEST_P(ProfileStoreContract, AHandEditedFileReadsAsThePlatformReadsIt) {
    subject().setFileText(
        "[Options]\r\n\r\n  nOffset  =  -90  \r\nsTitle=\"quoted text\"\r\nnEmpty=\r\nno key here\r\n"
        "[ Servers ]\nServers 0 = T~h~1\n");
    EXPECT_EQ(readInt("options", "NOFFSET", 0), -90);
    EXPECT_EQ(readString("Options", "sTitle", ""), "quoted text");
    EXPECT_EQ(readInt("Options", "nEmpty", 7), 7);
    EXPECT_EQ(readString("Options", "nEmpty", "def"), "");
    EXPECT_EQ(readString("Options", "no key here", "def"), "def");
    EXPECT_EQ(readString("Servers", "Servers 0", ""), "T~h~1");
}

TEST_P(ProfileStoreContract, AWriteThatCannotBeMadeFailsAndLosesNothing) {
    ASSERT_TRUE(write("Options", "nOffset", "5"));
    subject().blockWrites(true);
    EXPECT_FALSE(write("Options", "nOffset", "6"));
    EXPECT_FALSE(write("Options", "nNew", "1"));
    EXPECT_EQ(readInt("Options", "nOffset", 0), 5);
    EXPECT_EQ(readInt("Options", "nNew", 0), 0);
    subject().blockWrites(false);
    EXPECT_TRUE(write("Options", "nOffset", "6"));
    EXPECT_EQ(subject().fileText(), "[Options]\r\nnOffset=6\r\n");
}
