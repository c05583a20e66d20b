#include "tests/contract/ProfileStoreContract.h"

namespace {

constexpr const char* kMissingFile = "zHoraluxMissing.ini";

}  // namespace

TEST_P(ProfileStoreContract, ReadKeysListsTheKeysOfASectionInTheFilesOrder) {
    EXPECT_TRUE(readKeys("Servers").empty()) << "no file";
    subject().setFileText(
        "[Servers]\r\nServers_Counter=2\r\nServers 1=b~b\r\n  servers 0 = a~a\r\n[Options]\r\nnOffset=1\r\n");
    EXPECT_EQ(readKeys("SERVERS"), (std::vector<std::string>{"Servers_Counter", "Servers 1", "servers 0"}));
    EXPECT_EQ(readKeys("Options"), std::vector<std::string>{"nOffset"});
    EXPECT_TRUE(readKeys("Nowhere").empty()) << "no section";
}

TEST_P(ProfileStoreContract, ACopyIsTheFileAsItIsAndReplacesAnEarlierCopy) {
    ProfileStore& store = subject().store();
    EXPECT_FALSE(store.copyFile(subject().fileName(), subject().copyName()).bSucceeded) << "no file";
    subject().setFileText("[Servers]\r\nServers_Counter=-1\r\nServers 0=A~a~1\r\n");
    ASSERT_TRUE(store.copyFile(subject().fileName(), subject().copyName()).bSucceeded);
    subject().setFileText("[Options]\r\nnOffset=abc\r\n");
    ASSERT_TRUE(store.copyFile(subject().fileName(), subject().copyName()).bSucceeded);
    EXPECT_EQ(subject().copyText(), subject().fileText());
    EXPECT_EQ(store.readString(subject().copyName(), "Options", "nOffset", "", 16), "abc");
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
    EXPECT_EQ(readString("Servers", "a", ""), "-4");
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
    EXPECT_EQ(readString("options", "NOFFSET", ""), "-90") << "names ignore case";
    EXPECT_EQ(readString("Options", "sTitle", ""), "quoted text");
    EXPECT_EQ(readString("Options", "nEmpty", "def"), "");
    EXPECT_EQ(readString("Options", "no key here", "def"), "def");
    EXPECT_EQ(readString("Servers", "Servers 0", ""), "T~h~1");
}

TEST_P(ProfileStoreContract, AWriteThatCannotBeMadeFailsAndLosesNothing) {
    ASSERT_TRUE(write("Options", "nOffset", "5"));
    subject().blockWrites(true);
    EXPECT_FALSE(write("Options", "nOffset", "6"));
    EXPECT_FALSE(write("Options", "nNew", "1"));
    EXPECT_EQ(readString("Options", "nOffset", ""), "5");
    EXPECT_EQ(readString("Options", "nNew", "none"), "none");
    subject().blockWrites(false);
    EXPECT_TRUE(write("Options", "nOffset", "6"));
    EXPECT_EQ(subject().fileText(), "[Options]\r\nnOffset=6\r\n");
}
