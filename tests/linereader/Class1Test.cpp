// Targeted cases for Class1: the file channels, which the comparison with the model cannot see,
// the errors the reader raises, and results pinned by hand at the edges that break a reader (line
// breaks split by refills, a buffer of 1, blank lines over many refills, the searches' corner
// cases). The many combinations are left to the model comparison.
#include "linereader/Class1.h"

#include "TestFiles.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

long openDescriptors() {
    using std::filesystem::directory_iterator;
    return std::distance(directory_iterator("/proc/self/fd"), directory_iterator());
}

int g_eventPasses = 0;
void countEventPass() {
    ++g_eventPasses;
}

class ReaderTest : public testing::Test {
protected:
    std::unique_ptr<Class1> open(const std::string& content, int32_t bufferSize = 4096) {
        auto reader = std::make_unique<Class1>();
        reader->setBufferSize(bufferSize);
        reader->setFileName(dir.write("file" + std::to_string(m_files++), content));
        EXPECT_EQ(reader->cfOpenFile(), 0);
        return reader;
    }

    // Every Text handed out up to and including the call that sets EndOfFile.
    static Lines readAll(Class1& reader) {
        Lines lines;
        while (!reader.EndOfFile() && lines.size() < 100000) {
            reader.csGetALine();
            lines.push_back(reader.Text());
        }
        return lines;
    }

    ScratchDir dir;

private:
    int m_files = 0;
};

// --- File channels ----------------------------------------------------------------------------

using Channels = ReaderTest;

TEST_F(Channels, NewObjectHasTheDefaults) {
    Class1 r;
    EXPECT_EQ(r.BufferSize(), 4096);
    EXPECT_FALSE(r.StripNulls() || r.OnlyAlphaNumericCharacters() || r.CountOnlyNonBlankLines() ||
                 r.StripTrailingSpaces() || r.StripLeadingSpaces() || r.NoBlankLines());
    EXPECT_EQ(r.FileName(), "");
    EXPECT_EQ(r.ChannelNumber(), 0);
}

TEST_F(Channels, LowestFreeNumberIsTakenAndFreedByClosingOrDropping) {
    auto first = open("hello world");
    EXPECT_EQ(first->ChannelNumber(), 1);
    EXPECT_EQ(first->BytesLeft(), 11);
    auto second = open("x");
    EXPECT_EQ(second->ChannelNumber(), 2);
    // Opening again replaces the object's file instead of leaking the first.
    const long before = openDescriptors();
    second->setFileName(dir.write("again", "second"));
    EXPECT_EQ(second->cfOpenFile(), 0);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(second->ChannelNumber(), 2);
    EXPECT_EQ(second->BytesLeft(), 6);
    first.reset();
    auto third = open("y");
    EXPECT_EQ(third->ChannelNumber(), 1);
    second->cfCloseFile();
    EXPECT_EQ(open("z")->ChannelNumber(), 2);
}

TEST_F(Channels, MissingFolderFolderOrEmptyNameFailsAndLeavesNothingOpen) {
    const std::string missingFolder = dir.path() + "/no such folder";
    const long before = openDescriptors();
    for (const std::string& name : {missingFolder + "/file.txt", dir.path(), ""s}) {
        Class1 reader;
        reader.setFileName(name);
        EXPECT_NE(reader.cfOpenFile(), 0) << name;
        EXPECT_EQ(reader.BytesLeft(), 0) << name;
        EXPECT_THROW(reader.csGetALine(), linereader::ClosedChannelError) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
    EXPECT_EQ(openDescriptors(), before);
    // A failed object keeps the number it chose; dropping it must not close that channel's next
    // owner.
    auto failed = std::make_unique<Class1>();
    failed->setFileName(missingFolder + "/x");
    ASSERT_NE(failed->cfOpenFile(), 0);
    EXPECT_EQ(failed->ChannelNumber(), 1);
    auto owner = open("a\r\nb\r\n");
    ASSERT_EQ(owner->ChannelNumber(), 1);
    failed.reset();
    owner->csGetALine();
    owner->csGetALine();
    EXPECT_EQ(owner->Text(), "b");
}

TEST_F(Channels, MissingFileInAnExistingFolderIsCreatedEmpty) {
    const std::string path = dir.path() + "/new.txt";
    Class1 reader;
    reader.setFileName(path);
    EXPECT_EQ(reader.cfOpenFile(), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    reader.csGetALine();
    EXPECT_TRUE(reader.EndOfFile());
}

TEST_F(Channels, FileThatMayOnlyBeReadOpensReadOnly) {
    const std::string path = dir.write("ro.txt", "only\r\nread\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // Root may write anything, so the open runs as an unprivileged user when the tests are root.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    Class1 reader;
    reader.setFileName(path);
    const int16_t result = reader.cfOpenFile();
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ASSERT_EQ(result, 0);
    reader.csGetALine();
    EXPECT_EQ(reader.Text(), "only");
}

TEST_F(Channels, AllChannelsBusyFailsAndLeavesNothingOpen) {
    const std::string path = dir.write("shared", "s");
    std::vector<std::unique_ptr<Class1>> readers(255);
    for (auto& reader : readers) {
        reader = std::make_unique<Class1>();
        reader->setFileName(path);
        ASSERT_EQ(reader->cfOpenFile(), 0);
    }
    const long before = openDescriptors();
    Class1 extra;
    extra.setFileName(path);
    EXPECT_NE(extra.cfOpenFile(), 0);
    EXPECT_EQ(openDescriptors(), before);
    readers[41].reset();
    EXPECT_EQ(extra.cfOpenFile(), 0);
    EXPECT_EQ(extra.ChannelNumber(), 42);
}

TEST_F(Channels, ReadersSharingAChannelEachContinueWhereTheLastReadEnded) {
    auto a = open("0123456789abcdefghij", 4);
    a->setFixedWidthLineLength(2);
    a->csGetALine(); // reads 0123, then 45
    Class1 b;
    b.setChannelNumber(a->ChannelNumber());
    b.setBytesLeft(100);
    b.setBufferSize(4);
    b.setFixedWidthLineLength(2);
    b.csGetALine(); // reads 6789, then ab
    EXPECT_EQ(b.Text() + "|" + b.NextLine(), "67|89");
    a->csGetALine(); // reads cd
    a->csGetALine(); // reads ef
    EXPECT_EQ(a->Text() + "|" + a->NextLine(), "45|cd");
    b.csGetALine(); // reads gh
    EXPECT_EQ(b.NextLine() + "|" + b.LeftOver(), "ab|gh");
    b.csGetALine(); // reads ij
    b.csGetALine(); // finds the file at its end, short of the BytesLeft it was given
    EXPECT_EQ(b.NextLine(), "ij");
    EXPECT_EQ(b.BytesLeft(), 0);
}

TEST_F(Channels, ReaderOfAClosedChannelNeverSeesTheOldFileAgain) {
    auto a = open("old file text");
    Class1 b;
    b.setChannelNumber(a->ChannelNumber());
    b.setBytesLeft(3);
    b.setBufferSize(3);
    b.csGetALine();
    EXPECT_EQ(b.Text(), "old");
    a.reset();
    EXPECT_THROW(b.csGetALine(), linereader::ClosedChannelError);
    auto c = open("new");
    ASSERT_EQ(c->ChannelNumber(), b.ChannelNumber());
    b.setBytesLeft(3);
    b.setEndOfFile(false);
    b.csGetALine();
    b.csGetALine();
    EXPECT_EQ(b.Text(), "new");
}

TEST_F(Channels, LengthIsTakenAtOpeningWhetherTheFileGrowsOrShrinksAndIsKeptWhole) {
    const std::string grows = dir.write("grows", "ab\r\n");
    const std::string shrinks = dir.write("shrinks", std::string(100, '\n') + "tail");
    const std::string sparse = dir.write("sparse", "");
    ASSERT_EQ(::truncate(sparse.c_str(), 3'000'000'123LL), 0);
    Class1 growing, shrinking, large;
    growing.setFileName(grows);
    shrinking.setFileName(shrinks);
    shrinking.setNoBlankLines(true);
    shrinking.setBufferSize(8);
    large.setFileName(sparse);
    ASSERT_EQ(growing.cfOpenFile() + shrinking.cfOpenFile() + large.cfOpenFile(), 0);
    EXPECT_EQ(large.BytesLeft(), 3'000'000'123LL);
    std::ofstream(grows, std::ios::app | std::ios::binary) << "cd\r\n";
    ASSERT_EQ(::truncate(shrinks.c_str(), 20), 0);
    EXPECT_EQ(readAll(growing), (Lines{"ab", ""}));
    // A file that shrank ends where its data ends instead of hanging the pass over blank lines.
    shrinking.csGetALine();
    EXPECT_TRUE(shrinking.EndOfFile());
    EXPECT_EQ(shrinking.BytesLeft(), 0);
}

// --- Line extraction --------------------------------------------------------------------------

TEST_F(ReaderTest, LinesComeOutAsPinnedAtBreakAndBufferEdges) {
    struct {
        const char* name;
        std::string content;
        int32_t bufferSize;
        Lines lines;           // every Text up to and including the one that sets EndOfFile
        std::string delimiter; // LineDelimiter at the end
    } const cases[] = {
        {"NoFinalBreak", "a\r\nb", 4096, {"a", "b", ""}, "\r\n"},
        {"LoneFinalLfIsNotADelimiter", "abc\n", 4096, {"abc\n", ""}, ""},
        {"FirstBreakWins", "a\nb\r\n", 4096, {"a", "b\r", ""}, "\n"},
        {"LoneCrBeforeCrLf", "a\rb\r\nc", 4096, {"a", "b", "\nc", ""}, "\r"},
        {"FormFeedsNextToDelimiters", "a\f\r\n\fb", 4096, {"a", "", "", "b", ""}, "\r\n"},
        {"CrLfSplitByTheBuffer", "abc\r\nde\r\n", 4, {"abc\r", "", "de\r", ""}, "\n"},
        {"LineExactlyTheBufferSize", "abcde\r\nfg", 5, {"abcde", "", "fg", ""}, "\r\n"},
        {"LineAndBreakExactlyTheBufferSize", "abc\r\nfg", 5, {"abc", "fg", ""}, "\r\n"},
        {"BufferOfOne", "ab\r\nc\nd", 1, {"a", "b", "\r", "\n", "c", "\n", "d", ""}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto reader = open(c.content, c.bufferSize);
        EXPECT_EQ(readAll(*reader), c.lines);
        EXPECT_EQ(reader->LineDelimiter(), c.delimiter);
        EXPECT_EQ(reader->BytesLeft(), 0);
        // Every call after the end hands out an empty line and counts it.
        reader->csGetALine();
        EXPECT_EQ(reader->Text(), "");
        EXPECT_TRUE(reader->EndOfFile());
        EXPECT_EQ(reader->LinesRead(), static_cast<double>(c.lines.size() + 1));
    }
}

// Line breaks and removable characters are sought several bytes at a time; every position
// relative to those blocks must give the same lines as a byte-by-byte reading would.
TEST_F(ReaderTest, LinesComeOutWholeWhereverTheirBreaksAndControlsFall) {
    std::string content;
    Lines lines, cleaned;
    for (int length = 0; length <= 140; ++length) {
        std::string line;
        for (int i = 0; i < length; ++i)
            line += static_cast<char>('a' + i % 26);
        lines.push_back(line);
        cleaned.push_back(line);
        content += line + "\r\n";
    }
    for (int length = 1; length <= 40; ++length) {
        for (int at = 0; at < length; ++at) {
            std::string line(static_cast<size_t>(length), 'k');
            line[static_cast<size_t>(at)] = at % 2 ? '\x01' : '\xe9';
            lines.push_back(line);
            cleaned.push_back(std::string(static_cast<size_t>(length - 1), 'k'));
            content += line + "\r\n";
        }
    }
    lines.push_back("");
    cleaned.push_back("");
    auto raw = open(content);
    EXPECT_EQ(readAll(*raw), lines);
    auto filtered = open(content);
    filtered->setOnlyAlphaNumericCharacters(true);
    EXPECT_EQ(readAll(*filtered), cleaned);
}

TEST_F(ReaderTest, DelimiterChangedBetweenCallsTakesEffectFromTheLineAfterNextAndStays) {
    auto reader = open("a\r\nb\r\nc;d\r\n");
    reader->csGetALine(); // a; b already fetched
    reader->setLineDelimiter(";");
    EXPECT_EQ(readAll(*reader), (Lines{"b", "c", "d\r\n", ""}));
    EXPECT_EQ(reader->LineDelimiter(), ";");
}

TEST_F(ReaderTest, RefillsEachRunOneEventPass) {
    linereader::setEventPass(countEventPass);
    g_eventPasses = 0;
    auto reader = open("a\nb\n");
    reader->csGetALine(); // fetches a and b
    EXPECT_EQ(g_eventPasses, 2);
    linereader::setEventPass(nullptr);
    reader->csGetALine();
    EXPECT_EQ(g_eventPasses, 2);
}

// --- Filters and blank lines ------------------------------------------------------------------

TEST_F(ReaderTest, FiltersDropWhatIsOutsideCodes32To126AndStripOnlySpaces) {
    struct {
        std::string content;
        bool trims, printable;
        std::string firstLine;
    } const cases[] = {
        // The codes either side of the range, each alone on its line, below sixteen characters
        // and above, where the check runs sixteen bytes at a time.
        {" ~\x1f!", false, true, " ~!"},
        {" ~\x7f!", false, true, " ~!"},
        {"01234567 ~\x1fghijklmn!", false, true, "01234567 ~ghijklmn!"},
        {"01234567 ~ghijklmn\x7f!", false, true, "01234567 ~ghijklmn!"},
        // Only spaces are stripped, and before the unprintable characters go: a tab stops the
        // stripping even where it is dropped afterwards.
        {"  \t x y\t  \r\n", true, false, "\t x y\t"},
        {" \t 769 \t ", true, true, " 769 "},
    };
    for (const auto& c : cases) {
        auto reader = open(c.content);
        reader->setStripLeadingSpaces(c.trims);
        reader->setStripTrailingSpaces(c.trims);
        reader->setOnlyAlphaNumericCharacters(c.printable);
        reader->csGetALine();
        EXPECT_EQ(reader->Text(), c.firstLine) << testing::PrintToString(c.content);
    }
}

TEST_F(ReaderTest, NoBlankLinesPassesOverBlankLinesAndCountsThemByTheRawLine) {
    std::string manyBlank;
    for (int i = 0; i < 50000; ++i)
        manyBlank += i % 2 ? " \r\n" : "\r\n";
    struct {
        const char* name;
        std::string content;
        int32_t bufferSize;
        bool countOnlyNonBlank, printable, stripNulls;
        std::string text;
        double linesRead;
    } const cases[] = {
        {"ManyBlankLinesTinyBuffer", manyBlank + "z\r\n", 3, false, false, false, "z", 50001},
        {"TabLineCountedThenFilteredEmpty", "\t\r\nx\r\n", 4096, true, true, false, "x", 2},
        // Each refill of NULs empties; passing over them must still reach the end.
        {"OnlyNuls", std::string(10000, '\0'), 7, true, false, true, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto reader = open(c.content, c.bufferSize);
        reader->setNoBlankLines(true);
        reader->setCountOnlyNonBlankLines(c.countOnlyNonBlank);
        reader->setOnlyAlphaNumericCharacters(c.printable);
        reader->setStripNulls(c.stripNulls);
        reader->csGetALine();
        EXPECT_EQ(reader->Text(), c.text);
        EXPECT_EQ(reader->LinesRead(), c.linesRead);
        EXPECT_EQ(reader->PreviousLine(), "");
        EXPECT_EQ(reader->EndOfFile(), c.text.empty());
        reader->csGetALine();
        EXPECT_TRUE(reader->EndOfFile());
    }
}

// --- Searches ---------------------------------------------------------------------------------

TEST_F(ReaderTest, FindLineFoldsCaseIncludingAccentedLettersOnlyWhenAsked) {
    const std::string content = "alpha\r\nbeta \xe9t\xe9\r\ngamma";
    auto kept = open(content);
    kept->csFindLine("BETA", false);
    EXPECT_EQ(kept->Text(), "");
    EXPECT_TRUE(kept->EndOfFile());
    auto folded = open(content);
    folded->csFindLine("BETA \xc9T\xc9", true);
    EXPECT_EQ(folded->PreviousLine() + "|" + folded->Text() + "|" + folded->NextLine(),
              "alpha|beta \xe9t\xe9|gamma");
    EXPECT_EQ(folded->LinesRead(), 2);
}

TEST_F(ReaderTest, FindInFileRebuildsTheLineAroundTheOccurrence) {
    struct {
        std::string content, delimiter, find;
        bool ignoreCase;
        std::string previous, text, next;
    } const cases[] = {
        {"alpha\r\nBeta\r\n", "", "bET", true, "alpha", "Beta", ""},
        // With no delimiter before the occurrence the line begins at the occurrence.
        {"xyz\r\nq", "", "yz", false, "", "yz", "q"},
        {"\r\nab\r\n", "\r\n", "b", false, "", "b", ""},
    };
    for (const auto& c : cases) {
        auto reader = open(c.content);
        reader->setLineDelimiter(c.delimiter);
        reader->csFindInFile(c.find, c.ignoreCase);
        EXPECT_EQ(reader->PreviousLine() + "|" + reader->Text() + "|" + reader->NextLine(),
                  c.previous + "|" + c.text + "|" + c.next)
            << "finding " << c.find;
        EXPECT_EQ(reader->LinesRead(), 1);
    }
}

TEST_F(ReaderTest, FindInFileRefusesTextAsLongAsTheBufferBeforeAnythingIsRead) {
    auto reader = open("abcdefghijklmnop", 4);
    linereader::setEventPass(countEventPass);
    g_eventPasses = 0;
    reader->setText("kept");
    EXPECT_THROW(reader->csFindInFile("abcd", false), linereader::InvalidArgumentError);
    EXPECT_THROW(reader->csFindInFile("abcdefghijklmnop", false), linereader::InvalidArgumentError);
    linereader::setEventPass(nullptr);
    EXPECT_EQ(g_eventPasses, 0);
    EXPECT_EQ(reader->BytesLeft(), 16);
    EXPECT_EQ(reader->Text(), "kept");
    reader->csFindInFile("abc", false);
    EXPECT_EQ(reader->Text(), "abcd");
}

// --- Errors -----------------------------------------------------------------------------------

TEST_F(ReaderTest, OutOfRangeSettingsAreRefusedWithTheirOwnExceptions) {
    auto refusal = [this](int32_t bufferSize, int16_t fixedWidth, int64_t bytesLeft) {
        auto reader = open("abc", bufferSize);
        reader->setFixedWidthLineLength(fixedWidth);
        if (bytesLeft < 0)
            reader->setBytesLeft(bytesLeft);
        try {
            reader->csGetALine();
            return "none"s;
        } catch (const linereader::OverflowError&) {
            return "overflow"s;
        } catch (const linereader::InvalidArgumentError&) {
            return "invalid"s;
        }
    };
    for (int32_t size : {0, -1})
        EXPECT_EQ(refusal(size, 0, 0), "invalid") << "BufferSize " << size;
    for (int32_t size : {32768, 100000})
        EXPECT_EQ(refusal(size, 0, 0), "overflow") << "BufferSize " << size;
    EXPECT_EQ(refusal(32767, 0, 0), "none");
    EXPECT_EQ(refusal(4096, -1, 0), "invalid");
    EXPECT_EQ(refusal(4096, 32767, 0), "overflow");
    EXPECT_EQ(refusal(4096, 32766, 0), "none");
    EXPECT_EQ(refusal(4096, 0, -5), "invalid");
    auto largest = open(std::string(40000, 'z'), 32767);
    largest->csGetALine();
    EXPECT_EQ(largest->Text().size(), 32767u);
}

TEST_F(ReaderTest, ReadingAClosedChannelIsRefusedAndLeavesTheLineInTextAndNextLine) {
    Class1 never;
    try {
        never.csGetALine();
        ADD_FAILURE() << "no exception";
    } catch (const linereader::ClosedChannelError& e) {
        EXPECT_NE(std::string(e.what()).find("cfOpenFile"), std::string::npos) << e.what();
    }
    EXPECT_THROW(never.csFindInFile("x", false), linereader::ClosedChannelError);
    // Closed midway (twice), the failed read leaves the line it was taking in both.
    auto reader = open("a\r\nb\r\nc\r\n", 3);
    reader->csGetALine();
    reader->cfCloseFile();
    reader->cfCloseFile();
    EXPECT_THROW(reader->csGetALine(), linereader::ClosedChannelError);
    EXPECT_EQ(reader->PreviousLine() + "|" + reader->Text() + "|" + reader->NextLine(), "a|b|b");
    EXPECT_EQ(reader->ChannelNumber(), 1);
}

} // namespace
