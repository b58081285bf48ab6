#include "FileReader.h"

#include "TestSupport.h"

#include <sys/stat.h>

namespace {

using Number = FileReader::Number;

class FileReaderTest : public SandboxTest {};

struct NumberCase {
    const char* content;
    std::size_t limit;
    std::vector<std::pair<Number, int>> reads; // each read's result, and its value when read
};

struct TextCase {
    std::string content;
    std::size_t limit;
    std::string line; // the first line, and whether the limit cut it
    bool lineCut;
    std::string rest; // everything within the limit, and whether the file holds more
    bool restCut;
};

} // namespace

TEST_F(FileReaderTest, NumbersAreReadAsAStreamExtractsThemAndNeverPastTheLimit) {
    const std::vector<NumberCase> cases = {
        {" 12\t-7 +3 12AB",
         100,
         {{Number::read, 12},
          {Number::read, -7},
          {Number::read, 3},
          {Number::read, 12},
          {Number::notANumber, 0}}},
        {"2147483647 -2147483648 2147483648",
         100,
         {{Number::read, 2147483647}, {Number::read, -2147483647 - 1}, {Number::notANumber, 0}}},
        {"\xEF\xBB\xBF-5 -", 100, {{Number::read, -5}, {Number::end, 0}}},
        {"  ", 100, {{Number::end, 0}}},
        // The limit inside a number is no number: its digits go on past what was read.
        {"7 123", 4, {{Number::read, 7}, {Number::end, 0}}},
        {"7 12", 4, {{Number::read, 7}, {Number::read, 12}}},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.content);
        writeFile("file.txt", c.content);
        FileReader reader("file.txt", c.limit);
        for (const auto& [result, value] : c.reads) {
            int read = 0;
            EXPECT_EQ(reader.readInt(read), result);
            EXPECT_EQ(read, value);
        }
    }
}

TEST_F(FileReaderTest, LinesAndBytesStopAtTheLimitAndSayWhetherMoreWasThere) {
    const std::vector<TextCase> cases = {
        {"ab\r\ncd", 10, "ab", false, "ab\r\ncd", false},
        {"abcd\nrest", 4, "abcd", false, "abcd", true},
        {"abcde", 4, "abcd", true, "abcd", true},
        {"abcd", 4, "abcd", false, "abcd", false},
        {"\xEF\xBB\xBF"
         "abcd",
         4, "abcd", false, "abcd", false},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.content);
        writeFile("file.txt", c.content);
        bool cut = false;
        EXPECT_EQ(FileReader("file.txt", c.limit).readLine(cut), c.line);
        EXPECT_EQ(cut, c.lineCut);
        EXPECT_EQ(FileReader("file.txt", c.limit).readRest(cut), c.rest);
        EXPECT_EQ(cut, c.restCut);
    }
    writeFile("file.txt", "\xEF\xBB\xBF");
    bool cut = false;
    EXPECT_EQ(FileReader("file.txt", 10, FileReader::Kind::binary).readRest(cut), "\xEF\xBB\xBF");
}

// Nothing but a regular file is opened, and nothing waits for a FIFO's writer.
TEST_F(FileReaderTest, OnlyARegularFileOpensAndAnythingElseIsLogged) {
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    std::filesystem::create_symlink("/dev/zero", "zero");
    for (const char* path : {"fifo", "zero", "data"}) {
        EXPECT_FALSE(FileReader(path, 10).isOpen()) << path;
        EXPECT_EQ(logLines().back(),
                  std::string("FileReader::FileReader(...) - Not a Regular File: ") + path);
    }
    EXPECT_FALSE(FileReader("missing", 10).isOpen());
    EXPECT_EQ(logLines().size(), 3u);
}
