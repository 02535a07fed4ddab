// Targeted cases for Class1, grouped by behaviour: the file channels, line extraction at buffer
// and line-break edges, the clean-up filters and blank lines, both searches, and the errors the
// reader raises. The comparison with the model covers the many combinations; these pin the
// results down by hand.
#include "linereader/Class1.h"

#include "TestFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int openDescriptors() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
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

    // Calls csGetALine until EndOfFile and returns every Text handed out, the last one being the
    // call that set EndOfFile.
    static std::vector<std::string> readAll(Class1& reader) {
        std::vector<std::string> lines;
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
    Class1 reader;
    EXPECT_EQ(reader.BufferSize(), 4096);
    EXPECT_FALSE(reader.StripNulls() || reader.OnlyAlphaNumericCharacters() ||
                 reader.CountOnlyNonBlankLines() || reader.StripTrailingSpaces() ||
                 reader.StripLeadingSpaces() || reader.NoBlankLines() || reader.EndOfFile());
    EXPECT_EQ(reader.FixedWidthLineLength(), 0);
    EXPECT_EQ(reader.LineDelimiter() + reader.PreviousLine() + reader.NextLine() +
                  reader.FileName() + reader.LeftOver() + reader.Text(),
              "");
    EXPECT_EQ(reader.LinesRead(), 0);
    EXPECT_EQ(reader.BytesLeft(), 0);
    EXPECT_EQ(reader.ChannelNumber(), 0);
}

TEST_F(Channels, LowestFreeNumberIsTakenAndFreedWhenTheObjectIsDropped) {
    auto first = open("hello world");
    EXPECT_EQ(first->ChannelNumber(), 1);
    EXPECT_EQ(first->BytesLeft(), 11);
    auto second = open("x");
    EXPECT_EQ(second->ChannelNumber(), 2);
    first.reset();
    auto third = open("y");
    EXPECT_EQ(third->ChannelNumber(), 1);
    second->cfCloseFile();
    auto fourth = open("z");
    EXPECT_EQ(fourth->ChannelNumber(), 2);
}

TEST_F(Channels, MissingFolderFailsAndCreatesNothing) {
    const int before = openDescriptors();
    {
        Class1 reader;
        reader.setFileName(dir.path() + "/no such folder/file.txt");
        EXPECT_NE(reader.cfOpenFile(), 0);
        EXPECT_EQ(reader.BytesLeft(), 0);
        EXPECT_EQ(reader.ChannelNumber(), 1);
        EXPECT_FALSE(std::filesystem::exists(dir.path() + "/no such folder"));
        EXPECT_THROW(reader.csGetALine(), linereader::ClosedChannelError);
    }
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(Channels, FolderOrEmptyNameFailsAndLeavesNothingOpen) {
    const int before = openDescriptors();
    Class1 reader;
    reader.setFileName(dir.path());
    EXPECT_NE(reader.cfOpenFile(), 0);
    reader.setFileName("");
    EXPECT_NE(reader.cfOpenFile(), 0);
    EXPECT_EQ(openDescriptors(), before);
    auto next = open("a");
    EXPECT_EQ(next->ChannelNumber(), 1);
}

TEST_F(Channels, DroppingAFailedObjectLeavesTheChannelItChoseToItsNewOwner) {
    auto failed = std::make_unique<Class1>();
    failed->setFileName(dir.path() + "/missing/x");
    ASSERT_NE(failed->cfOpenFile(), 0);
    auto owner = open("a\r\nb\r\n");
    ASSERT_EQ(owner->ChannelNumber(), failed->ChannelNumber());
    failed.reset();
    owner->csGetALine();
    owner->csGetALine();
    EXPECT_EQ(owner->Text(), "b");
}

TEST_F(Channels, MissingFileInAnExistingFolderIsCreatedEmpty) {
    Class1 reader;
    const std::string path = dir.path() + "/new.txt";
    reader.setFileName(path);
    EXPECT_EQ(reader.cfOpenFile(), 0);
    EXPECT_EQ(reader.BytesLeft(), 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    reader.csGetALine();
    EXPECT_EQ(reader.Text(), "");
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
    std::vector<std::unique_ptr<Class1>> readers;
    for (;;) {
        auto reader = std::make_unique<Class1>();
        reader->setFileName(path);
        const int16_t result = reader->cfOpenFile();
        if (result != 0) {
            EXPECT_EQ(readers.size(), 255u);
            break;
        }
        readers.push_back(std::move(reader));
        ASSERT_LE(readers.size(), 255u);
    }
    const int before = openDescriptors();
    Class1 extra;
    extra.setFileName(path);
    EXPECT_NE(extra.cfOpenFile(), 0);
    EXPECT_EQ(openDescriptors(), before);
    readers[41].reset();
    EXPECT_EQ(extra.cfOpenFile(), 0);
    EXPECT_EQ(extra.ChannelNumber(), 42);
}

TEST_F(Channels, OpeningAgainReplacesTheFirstFileInsteadOfLeakingIt) {
    auto reader = open("first");
    const int before = openDescriptors();
    reader->setFileName(dir.write("second", "second"));
    EXPECT_EQ(reader->cfOpenFile(), 0);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(reader->BytesLeft(), 6);
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
    EXPECT_EQ(b.Text(), "67");
    EXPECT_EQ(b.NextLine(), "89");
    a->csGetALine(); // reads cd
    a->csGetALine(); // reads ef
    EXPECT_EQ(a->Text(), "45");
    EXPECT_EQ(a->NextLine(), "cd");
    b.csGetALine(); // reads gh
    EXPECT_EQ(b.NextLine(), "ab");
    EXPECT_EQ(b.LeftOver(), "gh");
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

TEST_F(Channels, LengthIsTakenAtOpeningAndLaterGrowthIsNotRead) {
    const std::string path = dir.write("grows", "ab\r\n");
    Class1 reader;
    reader.setFileName(path);
    ASSERT_EQ(reader.cfOpenFile(), 0);
    std::ofstream(path, std::ios::app | std::ios::binary) << "cd\r\n";
    EXPECT_EQ(readAll(reader), (std::vector<std::string>{"ab", ""}));
}

TEST_F(Channels, FileThatShrinksWhileOpenEndsInsteadOfHanging) {
    const std::string path = dir.write("shrinks", std::string(100, '\n') + "tail");
    Class1 reader;
    reader.setFileName(path);
    reader.setNoBlankLines(true);
    reader.setBufferSize(8);
    ASSERT_EQ(reader.cfOpenFile(), 0);
    ASSERT_EQ(::truncate(path.c_str(), 20), 0);
    reader.csGetALine();
    EXPECT_TRUE(reader.EndOfFile());
    EXPECT_EQ(reader.BytesLeft(), 0);
}

TEST_F(Channels, LengthBeyondTwoGigabytesIsKeptWhole) {
    const std::string path = dir.write("sparse", "");
    ASSERT_EQ(::truncate(path.c_str(), 3'000'000'123LL), 0);
    Class1 reader;
    reader.setFileName(path);
    ASSERT_EQ(reader.cfOpenFile(), 0);
    EXPECT_EQ(reader.BytesLeft(), 3'000'000'123LL);
}

// --- Line extraction --------------------------------------------------------------------------

struct ExtractionCase {
    const char* name;
    std::string content;
    int32_t bufferSize;
    int16_t fixedWidth;
    std::vector<std::string> lines; // every Text up to and including the one that sets EndOfFile
    std::string delimiter;          // LineDelimiter at the end
};

class Extraction : public ReaderTest, public testing::WithParamInterface<ExtractionCase> {};

TEST_P(Extraction, HandsOutTheLinesAndSetsEndOfFileOnTheEmptyLineAfterThem) {
    const ExtractionCase& c = GetParam();
    auto reader = open(c.content, c.bufferSize);
    reader->setFixedWidthLineLength(c.fixedWidth);
    for (size_t i = 0; i < c.lines.size(); ++i) {
        reader->csGetALine();
        EXPECT_EQ(reader->Text(), c.lines[i]) << "line " << i + 1;
        EXPECT_EQ(reader->EndOfFile(), i + 1 == c.lines.size()) << "line " << i + 1;
        EXPECT_EQ(reader->LinesRead(), static_cast<double>(i + 1));
        EXPECT_LE(reader->LeftOver().size(), static_cast<size_t>(c.bufferSize));
    }
    EXPECT_EQ(reader->LineDelimiter(), c.delimiter);
    EXPECT_EQ(reader->BytesLeft(), 0);
}

const std::string k4096(4096, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, Extraction,
    testing::Values(
        ExtractionCase{"CrLf", "769,0,768\r\n", 4096, 0, {"769,0,768", ""}, "\r\n"},
        ExtractionCase{"TwoLines", "a\r\nb\r\n", 4096, 0, {"a", "b", ""}, "\r\n"},
        ExtractionCase{"NoFinalBreak", "a\r\nb", 4096, 0, {"a", "b", ""}, "\r\n"},
        ExtractionCase{"EmptyLastLine", "a\r\n\r\n", 4096, 0, {"a", ""}, "\r\n"},
        ExtractionCase{"EmptyFile", "", 4096, 0, {""}, ""},
        ExtractionCase{"NoBreakAtAll", "769,0,768", 4096, 0, {"769,0,768", ""}, ""},
        ExtractionCase{"LoneFinalLfIsNotADelimiter", "abc\n", 4096, 0, {"abc\n", ""}, ""},
        ExtractionCase{"Lf", "a\nb\nc", 4096, 0, {"a", "b", "c", ""}, "\n"},
        ExtractionCase{"FirstBreakWins", "a\nb\r\n", 4096, 0, {"a", "b\r", ""}, "\n"},
        ExtractionCase{"LoneCr", "a\rb\r\nc", 4096, 0, {"a", "b", "\nc", ""}, "\r"},
        ExtractionCase{"FormFeedEndsALine", "a\fb\r\nc", 4096, 0, {"a", "b", "c", ""}, "\r\n"},
        ExtractionCase{"FormFeedBeforeDelimiter", "a\f\r\nb", 4096, 0, {"a", "", "b", ""}, "\r\n"},
        ExtractionCase{"FormFeedAfterDelimiter", "a\r\n\fb", 4096, 0, {"a", "", "b", ""}, "\r\n"},
        ExtractionCase{"LongLineInPieces",
                       std::string(20, 'y') + "\r\n",
                       10,
                       0,
                       {std::string(10, 'y'), std::string(10, 'y'), ""},
                       "\r\n"},
        ExtractionCase{
            "CrLfSplitByTheBuffer", "abc\r\nde\r\n", 4, 0, {"abc\r", "", "de\r", ""}, "\n"},
        ExtractionCase{
            "LineExactlyTheBufferSize", "abcde\r\nfg", 5, 0, {"abcde", "", "fg", ""}, "\r\n"},
        ExtractionCase{
            "LineAndBreakExactlyTheBufferSize", "abc\r\nfg", 5, 0, {"abc", "fg", ""}, "\r\n"},
        ExtractionCase{
            "BufferOfOne", "ab\r\nc\nd", 1, 0, {"a", "b", "\r", "\n", "c", "\n", "d", ""}, ""},
        ExtractionCase{"FixedWidth", "abcdefg", 4096, 3, {"abc", "def", "g", ""}, ""},
        ExtractionCase{
            "FixedWidthKeepsBreaks", "a\r\n\fbc", 4096, 2, {"a\r", "\n\f", "bc", ""}, ""},
        ExtractionCase{"NoBreakLongerThanTheBuffer",
                       std::string(5000, 'x'),
                       4096,
                       0,
                       {k4096, std::string(904, 'x'), ""},
                       ""}),
    [](const testing::TestParamInfo<ExtractionCase>& info) { return info.param.name; });

// Line breaks and removable characters are sought several bytes at a time; every position
// relative to those blocks must give the same lines as a byte-by-byte reading would.
TEST_F(ReaderTest, LinesComeOutWholeWhereverTheirBreaksAndControlsFall) {
    std::string content;
    std::vector<std::string> lines, cleaned;
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

TEST_F(ReaderTest, FirstLineLeavesTheRestInNextLineAndLeftOver) {
    auto reader = open("769,0,768\r\nsecond\r\nthird");
    reader->csGetALine();
    EXPECT_EQ(reader->NextLine(), "second");
    EXPECT_EQ(reader->LeftOver(), "third");
    reader->csGetALine();
    EXPECT_EQ(reader->PreviousLine(), "769,0,768");
}

TEST_F(ReaderTest, EveryCallAfterTheEndHandsOutAnEmptyLineAndCountsIt) {
    auto reader = open("a");
    readAll(*reader);
    reader->csGetALine();
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "");
    EXPECT_TRUE(reader->EndOfFile());
    EXPECT_EQ(reader->LinesRead(), 4);
}

TEST_F(ReaderTest, DelimiterSetByTheCallerIsUsedAndNeverDetected) {
    auto reader = open("a\r\nb;c;");
    reader->setLineDelimiter(";");
    EXPECT_EQ(readAll(*reader), (std::vector<std::string>{"a\r\nb", "c", ""}));
    EXPECT_EQ(reader->LineDelimiter(), ";");
}

TEST_F(ReaderTest, DelimiterChangedBetweenCallsTakesEffectFromTheLineAfterNext) {
    auto reader = open("a\r\nb\r\nc;d\r\n");
    reader->csGetALine(); // a; b already fetched
    reader->setLineDelimiter(";");
    EXPECT_EQ(readAll(*reader), (std::vector<std::string>{"b", "c", "d\r\n", ""}));
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

struct FilterCase {
    const char* name;
    std::string content;
    bool stripNulls, leading, trailing, printable;
    std::string firstLine;
};

class Filters : public ReaderTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(Filters, CleanTheLineAsTheOptionsSay) {
    const FilterCase& c = GetParam();
    auto reader = open(c.content);
    reader->setStripNulls(c.stripNulls);
    reader->setStripLeadingSpaces(c.leading);
    reader->setStripTrailingSpaces(c.trailing);
    reader->setOnlyAlphaNumericCharacters(c.printable);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), c.firstLine);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Lines, Filters,
    testing::Values(
        FilterCase{"AllOffKeepsTheRawLine", " \t\0a\x7f\xe9 \r\n"s, false, false, false, false,
                   " \t\0a\x7f\xe9 "s},
        FilterCase{"NullsGo", "a\0b\0\0\r\n"s, true, false, false, false, "ab"},
        FilterCase{"PrintableKeepsDigitsAndCommas", "769,0,768", false, false, false, true,
                   "769,0,768"},
        FilterCase{"PrintableDropsControls", "\t769\r", false, false, false, true, "769"},
        FilterCase{"PrintableDropsRunsOfControls", "\t\ta", false, false, false, true, "a"},
        FilterCase{"PrintableDropsDelAndHighBytes", "a\x7f~b\xa0\xff", false, false, false, true,
                   "a~b"},
        FilterCase{"PrintableBoundariesInALongLine",
                   "01234567 ~\x1f"
                   "89abcdef\x7f"
                   "ghijklmn \x80~",
                   false, false, false, true, "01234567 ~89abcdefghijklmn ~"},
        FilterCase{"PrintableLongLineUnchanged", " !\"#$%&'()*+,-./0123456789:;<=>?@[\\]^_`{|}~ ~",
                   false, false, false, true, " !\"#$%&'()*+,-./0123456789:;<=>?@[\\]^_`{|}~ ~"},
        FilterCase{"LeadingStopsAtTab", " \t 769", false, true, false, true, " 769"},
        FilterCase{"TrailingStopsAtTab", "769 \t ", false, false, true, false, "769 \t"},
        FilterCase{"BothTrims", "   x y   \r\n", false, true, true, false, "x y"},
        FilterCase{"DisplayNumbersLine", "769, 0, 768\r\n"s, true, false, false, true,
                   "769, 0, 768"}),
    [](const testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

TEST_F(ReaderTest, NullsAreRemovedBeforeLineBreaksAreSought) {
    auto reader = open("a\r\0\nb"s);
    reader->setStripNulls(true);
    EXPECT_EQ(readAll(*reader), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(reader->LineDelimiter(), "\r\n");
}

TEST_F(ReaderTest, FileOfNullsWithStripNullsGivesOneEmptyLineAndEnds) {
    auto reader = open(std::string(3, '\0'));
    reader->setStripNulls(true);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "");
    EXPECT_TRUE(reader->EndOfFile());
    // A longer run of NULs empties one refill after another; passing over blank lines must
    // still reach the end.
    auto longer = open(std::string(10000, '\0'), 7);
    longer->setStripNulls(true);
    longer->setNoBlankLines(true);
    longer->csGetALine();
    EXPECT_EQ(longer->Text(), "");
    EXPECT_TRUE(longer->EndOfFile());
}

TEST_F(ReaderTest, NoBlankLinesPassesOverBlankLinesAndCountsThem) {
    for (bool countOnlyNonBlank : {false, true}) {
        auto reader = open("\r\n  \r\nx\r\n");
        reader->setNoBlankLines(true);
        reader->setCountOnlyNonBlankLines(countOnlyNonBlank);
        reader->csGetALine();
        EXPECT_EQ(reader->Text(), "x");
        EXPECT_EQ(reader->LinesRead(), countOnlyNonBlank ? 1 : 3);
        EXPECT_EQ(reader->PreviousLine(), "");
        EXPECT_FALSE(reader->EndOfFile());
    }
}

TEST_F(ReaderTest, NoBlankLinesPassesOverManyBlankLinesWithATinyBuffer) {
    std::string content;
    for (int i = 0; i < 50000; ++i)
        content += i % 2 ? " \r\n" : "\r\n";
    auto reader = open(content + "z\r\n", 3);
    reader->setNoBlankLines(true);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "z");
    EXPECT_EQ(reader->LinesRead(), 50001);
    reader->csGetALine();
    EXPECT_TRUE(reader->EndOfFile());
}

TEST_F(ReaderTest, TabLineIsCountedButPassedOverOnceFilteredEmpty) {
    auto reader = open("\t\r\nx\r\n");
    reader->setCountOnlyNonBlankLines(true);
    reader->setOnlyAlphaNumericCharacters(true);
    reader->setNoBlankLines(true);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "x");
    EXPECT_EQ(reader->LinesRead(), 2);
}

TEST_F(ReaderTest, LineFiltersLeaveNextLineAndLeftOverRaw) {
    auto reader = open(" a \r\n b\t\r\n c");
    reader->setStripLeadingSpaces(true);
    reader->setStripTrailingSpaces(true);
    reader->setOnlyAlphaNumericCharacters(true);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "a");
    EXPECT_EQ(reader->NextLine(), " b\t");
    EXPECT_EQ(reader->LeftOver(), " c");
}

// --- Searches ---------------------------------------------------------------------------------

using FindLine = ReaderTest;

TEST_F(FindLine, StopsAtTheLineHoldingTheTextAndStaysThere) {
    auto reader = open("alpha\r\nbeta\r\ngamma");
    reader->csFindLine("beta", false);
    EXPECT_EQ(reader->Text(), "beta");
    EXPECT_EQ(reader->PreviousLine(), "alpha");
    EXPECT_EQ(reader->NextLine(), "gamma");
    EXPECT_FALSE(reader->EndOfFile());
    reader->csFindLine("beta", false);
    EXPECT_EQ(reader->Text(), "beta");
    EXPECT_EQ(reader->LinesRead(), 2);
}

TEST_F(FindLine, AbsentTextEndsAtTheEndOfTheFile) {
    auto reader = open("alpha\r\nbeta\r\ngamma");
    reader->csFindLine("delta", false);
    EXPECT_EQ(reader->Text(), "");
    EXPECT_TRUE(reader->EndOfFile());
    EXPECT_EQ(reader->LinesRead(), 4);
}

TEST_F(FindLine, IgnoreCaseFoldsLettersIncludingAccentedOnes) {
    auto reader = open("alpha\r\nbeta \xe9t\xe9\r\n");
    reader->csFindLine("BETA", false);
    EXPECT_TRUE(reader->EndOfFile());
    auto again = open("alpha\r\nbeta \xe9t\xe9\r\n");
    again->csFindLine("BETA \xc9T\xc9", true);
    EXPECT_EQ(again->Text(), "beta \xe9t\xe9");
}

TEST_F(FindLine, EmptyTextStopsAtTheFirstNonEmptyLine) {
    auto reader = open("\r\n\r\nx\r\ny");
    reader->csFindLine("", false);
    EXPECT_EQ(reader->Text(), "x");
}

TEST_F(FindLine, SearchesTheFilteredLine) {
    auto reader = open("a\tb\r\nab\r\n");
    reader->setOnlyAlphaNumericCharacters(true);
    reader->csFindLine("ab", false);
    EXPECT_EQ(reader->LinesRead(), 1);
}

using FindInFile = ReaderTest;

TEST_F(FindInFile, RebuildsTheLineAroundTheOccurrence) {
    auto reader = open("alpha\r\nbeta\r\ngamma");
    reader->csFindInFile("eta", false);
    EXPECT_EQ(reader->Text(), "beta");
    EXPECT_EQ(reader->PreviousLine(), "alpha");
    EXPECT_EQ(reader->NextLine(), "gamma");
    EXPECT_EQ(reader->LinesRead(), 1);
}

TEST_F(FindInFile, AbsentTextEmptiesTheReaderAndTheNextLineEndsIt) {
    auto reader = open("alpha\r\nbeta\r\ngamma", 10);
    reader->csFindInFile("delta", false);
    EXPECT_EQ(reader->Text() + reader->NextLine() + reader->LeftOver(), "");
    EXPECT_EQ(reader->BytesLeft(), 0);
    reader->csGetALine();
    EXPECT_EQ(reader->Text(), "");
    EXPECT_TRUE(reader->EndOfFile());
}

TEST_F(FindInFile, FindsTextAcrossRefillsAndInTheLastChunk) {
    const std::string content = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    auto straddling = open(content, 10);
    straddling->csFindInFile("89AB", false);
    EXPECT_EQ(straddling->Text(), "89ABCDEFGH"); // the buffer from the occurrence on
    auto last = open(content, 10);
    last->csFindInFile("XYZ", false);
    EXPECT_EQ(last->Text(), "XYZ");
    EXPECT_TRUE(last->NextLine().empty());
}

TEST_F(FindInFile, MatchesTheRawBufferIncludingLineBreaksAndFilteredCharacters) {
    auto reader = open("one\r\ntw\to\r\nthree\r\n");
    reader->setOnlyAlphaNumericCharacters(true);
    reader->csFindInFile("w\to\r\nth", false);
    // The line from the occurrence is filtered, the text before it on its line is put back raw.
    EXPECT_EQ(reader->Text(), "two");
    EXPECT_EQ(reader->PreviousLine(), "one");
    EXPECT_EQ(reader->NextLine(), "three");
}

TEST_F(FindInFile, StartsAtTheBufferAndCountsOnlyTheLineFound) {
    auto reader = open("a1\r\na2\r\nb\r\na3\r\n");
    reader->csGetALine();
    reader->csFindInFile("a", false);
    EXPECT_EQ(reader->Text(), "a3");
    EXPECT_EQ(reader->PreviousLine(), "b");
    EXPECT_EQ(reader->LinesRead(), 2);
}

TEST_F(FindInFile, OccurrenceWithNoDelimiterBeforeItKeepsTheLineFromTheOccurrenceOn) {
    auto first = open("xyz\r\nq");
    first->csFindInFile("yz", false);
    EXPECT_EQ(first->Text(), "yz");
    EXPECT_EQ(first->PreviousLine(), "");
    auto emptyHead = open("xyz\r\nq");
    emptyHead->csFindInFile("", false);
    EXPECT_EQ(emptyHead->Text(), "xyz");
    auto delimiterAtStart = open("\r\nab\r\n");
    delimiterAtStart->setLineDelimiter("\r\n");
    delimiterAtStart->csFindInFile("b", false);
    EXPECT_EQ(delimiterAtStart->Text(), "b");
    EXPECT_EQ(delimiterAtStart->PreviousLine(), "");
}

TEST_F(FindInFile, FixedWidthGivesTheCharactersFromTheOccurrence) {
    auto reader = open("abcdefgh");
    reader->setFixedWidthLineLength(3);
    reader->csFindInFile("d", false);
    EXPECT_EQ(reader->Text(), "def");
}

TEST_F(FindInFile, TextAsLongAsTheBufferIsRefusedBeforeAnythingIsRead) {
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

using Errors = ReaderTest;

TEST_F(Errors, BufferSizeOutsideOneTo32767IsRefusedAtTheRefill) {
    for (int32_t size : {0, -1, 32768, 100000}) {
        auto reader = open("abc", size);
        if (size < 1)
            EXPECT_THROW(reader->csGetALine(), linereader::InvalidArgumentError) << size;
        else
            EXPECT_THROW(reader->csGetALine(), linereader::OverflowError) << size;
    }
    auto largest = open(std::string(40000, 'z'), 32767);
    largest->csGetALine();
    EXPECT_EQ(largest->Text().size(), 32767u);
}

TEST_F(Errors, FixedWidthOutsideZeroTo32766IsRefusedAtTheSplit) {
    auto negative = open("abc");
    negative->setFixedWidthLineLength(-1);
    EXPECT_THROW(negative->csGetALine(), linereader::InvalidArgumentError);
    auto tooWide = open("abc");
    tooWide->setFixedWidthLineLength(32767);
    EXPECT_THROW(tooWide->csGetALine(), linereader::OverflowError);
    auto widest = open("abc");
    widest->setFixedWidthLineLength(32766);
    widest->csGetALine();
    EXPECT_EQ(widest->Text(), "abc");
}

TEST_F(Errors, ReadingAClosedChannelIsRefused) {
    Class1 never;
    EXPECT_THROW(never.csGetALine(), linereader::ClosedChannelError);
    EXPECT_THROW(never.csFindInFile("x", false), linereader::ClosedChannelError);
    auto closed = open("a\r\nb\r\n");
    closed->cfCloseFile();
    closed->cfCloseFile();
    EXPECT_THROW(closed->csGetALine(), linereader::ClosedChannelError);
    EXPECT_EQ(closed->ChannelNumber(), 1);
}

TEST_F(Errors, FailedReadMidwayLeavesTheLineInTextAndNextLine) {
    auto reader = open("a\r\nb\r\nc\r\n", 3);
    reader->csGetALine();
    reader->cfCloseFile();
    EXPECT_THROW(reader->csGetALine(), linereader::ClosedChannelError);
    EXPECT_EQ(reader->Text(), "b");
    EXPECT_EQ(reader->NextLine(), "b");
    EXPECT_EQ(reader->PreviousLine(), "a");
}

TEST_F(Errors, NegativeBytesLeftIsRefused) {
    auto reader = open("abc");
    reader->setBytesLeft(-5);
    EXPECT_THROW(reader->csGetALine(), linereader::InvalidArgumentError);
}

TEST_F(Errors, AllAreStandardExceptions) {
    Class1 never;
    try {
        never.csGetALine();
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("cfOpenFile"), std::string::npos);
    }
}

} // namespace
