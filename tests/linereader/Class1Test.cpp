// Class1 beside ReaderModel, a plain restatement of its reading steps, on generated files, options
// and calls; then by hand what the model cannot see: the channel table, opening, changing files.
#include "linereader/Class1.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

namespace {

using linereader::InvalidArgumentError, linereader::OverflowError;
namespace fs = std::filesystem;

struct ReaderModel {
    using S = std::string;
    bool StripNulls = false, OnlyAlphaNumericCharacters = false, CountOnlyNonBlankLines = false;
    bool StripTrailingSpaces = false, StripLeadingSpaces = false, NoBlankLines = false;
    bool EndOfFile = false, bolNextLineLoaded = false, closed = false;
    int16_t FixedWidthLineLength = 0;
    int32_t BufferSize = 4096;
    S LineDelimiter, PreviousLine, NextLine, LeftOver, Text, unread; // unread: the rest of the file
    double LinesRead = 0;
    int64_t BytesLeft = 0;
    int eventPasses = 0;
    explicit ReaderModel(const S& file) : unread(file), BytesLeft(int64_t(file.size())) {}

    static S trimLeft(const S& s) { return s.substr(std::min(s.find_first_not_of(' '), s.size())); }
    static S trimRight(const S& s) { return s.substr(0, s.find_last_not_of(' ') + 1); }
    static S lower(S s) { // the capitals of Windows-1252
        for (char& c : s)
            if (const auto u = static_cast<unsigned char>(c);
                (u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
                c = char(u + 32);
        return s;
    }
    // Where s is in text, npos if not; an empty s is found at the start of any non-empty text.
    static size_t find(const S& text, const S& s, bool ignoreCase) {
        return text.empty() ? S::npos : ignoreCase ? lower(text).find(lower(s)) : text.find(s);
    }

    void csFillBuffer() {
        if (!EndOfFile) {
            if (BufferSize < 1)
                throw InvalidArgumentError("");
            if (BufferSize > 32767)
                throw OverflowError("");
            if (closed)
                throw linereader::ClosedChannelError("");
            const int64_t room = BufferSize - int64_t(LeftOver.size());
            const int64_t count = room > 0 ? std::min(room, BytesLeft) : 0;
            if (count < 0)
                throw InvalidArgumentError("");
            S chunk = unread.substr(0, size_t(count));
            unread.erase(0, size_t(count));
            // A file found shorter than BytesLeft says ends where its data ends.
            BytesLeft = int64_t(chunk.size()) < count ? 0 : BytesLeft - count;
            if (StripNulls)
                std::erase(chunk, '\0');
            LeftOver += chunk;
        }
        EndOfFile = EndOfFile || (NextLine.empty() && LeftOver.empty() && BytesLeft == 0);
        ++eventPasses;
    }
    void csDetectDelimiter() {
        // The candidate that starts first wins, if it starts before the buffer's last character.
        size_t limit = LeftOver.size();
        for (const char* candidate : {"\r\n", "\n", "\r"}) {
            if (const size_t at = LeftOver.find(candidate); at != S::npos && at + 1 < limit) {
                LineDelimiter = candidate;
                limit = at + 1;
            }
        }
    }
    void csExtractNextLine() {
        csFillBuffer();
        if (const auto width = static_cast<size_t>(FixedWidthLineLength); width != 0) {
            if (FixedWidthLineLength < 0)
                throw InvalidArgumentError("");
            if (FixedWidthLineLength > 32766)
                throw OverflowError("");
            NextLine = LeftOver.substr(0, width);
            LeftOver.erase(0, width);
            return;
        }
        if (LineDelimiter.empty())
            csDetectDelimiter();
        const size_t f = LeftOver.find('\f');
        const size_t d = LineDelimiter.empty() ? S::npos : LeftOver.find(LineDelimiter);
        const size_t p = std::min(f, d); // the form feed where both start at once
        NextLine = LeftOver.substr(0, p);
        LeftOver.erase(0, p == S::npos ? p : p + (p == f ? 1 : LineDelimiter.size()));
    }
    void getALine(bool asFirstCall) {
        PreviousLine = Text;
        do {
            if (std::exchange(asFirstCall, false) || !bolNextLineLoaded)
                csExtractNextLine();
            bolNextLineLoaded = true;
            Text = NextLine;
            LinesRead += CountOnlyNonBlankLines && trimLeft(Text).empty() ? 0 : 1;
            Text = StripLeadingSpaces ? trimLeft(Text) : Text;
            Text = StripTrailingSpaces ? trimRight(Text) : Text;
            if (OnlyAlphaNumericCharacters)
                std::erase_if(Text, [](unsigned char c) { return c < 32 || c > 126; });
            csExtractNextLine();
        } while (NoBlankLines && trimLeft(Text).empty() && !EndOfFile);
    }
    void csGetALine() { getALine(false); }
    void cfCloseFile() { closed = true; }
    void csFindLine(const S& s, bool ignoreCase) {
        if (Text.empty())
            csGetALine();
        while (find(Text, s, ignoreCase) == S::npos) {
            csGetALine();
            if (EndOfFile)
                return;
        }
    }
    void csFindInFile(const S& s, bool ignoreCase) {
        if (BufferSize < 1 || s.size() >= size_t(BufferSize))
            throw InvalidArgumentError("");
        NextLine = Text = "";
        csFillBuffer();
        size_t p = find(LeftOver, s, ignoreCase);
        for (; p == S::npos && BytesLeft > 0 && !EndOfFile; p = find(LeftOver, s, ignoreCase)) {
            LeftOver.erase(0, LeftOver.size() - std::min(LeftOver.size(), s.size()));
            csFillBuffer();
            ++eventPasses;
        }
        ++eventPasses; // after every search pass
        if (p == S::npos) {
            Text = NextLine = LeftOver = "";
            return;
        }
        const S head = LeftOver.substr(0, p);
        LeftOver.erase(0, p);
        getALine(true);
        // The last delimiter in head that starts at its L-th character or later, L its length.
        const size_t d = LineDelimiter.empty() ? S::npos : head.rfind(LineDelimiter);
        if (FixedWidthLineLength == 0 && d != S::npos && d + 1 >= LineDelimiter.size()) {
            Text = head.substr(d + LineDelimiter.size()) + Text;
            PreviousLine = head.substr(0, d);
        }
    }
};

// A scratch folder for a test's files, removed with them when the test ends.
struct ReaderTest : testing::Test {
    const std::string dir = testing::TempDir() + "linereader-" + std::to_string(::getpid());
    int files = 0;
    ReaderTest() { fs::create_directories(dir); }
    ~ReaderTest() override { fs::remove_all(dir); }
    std::unique_ptr<Class1> open(const std::string& content, int32_t bufferSize = 4096) {
        auto reader = std::make_unique<Class1>();
        reader->setBufferSize(bufferSize);
        reader->setFileName(dir + "/" + std::to_string(files++));
        std::ofstream(reader->FileName(), std::ios::binary) << content;
        EXPECT_EQ(reader->cfOpenFile(), 0);
        return reader;
    }
};

int g_eventPasses = 0;

struct Generator {
    std::mt19937 rng;
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, size_t N> T pick(const T (&items)[N]) { return items[below(N)]; }
    // Characters that steer the reader, NUL too (kChars ends in one); or, if plain, mostly letters.
    std::string text(int maxLength, bool plain = false) {
        static const char kChars[] = "\r\n\f\t  aBb,\x1f\x7f~\xe9\xc9\xde\xfe\x80";
        std::string out;
        for (int i = below(maxLength + 1); i > 0; --i)
            out += chance(plain ? 1 : 15) ? "\r\n"
                   : plain && chance(97)  ? std::string(1, char('a' + below(26)))
                                          : std::string(1, pick(kChars));
        return out;
    }
    // Long LF lines of words, some not ASCII (UTF-8), some lines indented with tabs.
    std::string words() {
        static const char* const kWords[] = {"slide", "a", "show", " ", "Größe", "naïve", "€5"};
        std::string out;
        for (int lines = below(4); lines >= 0; --lines) {
            out += std::string(size_t(below(4) / 2), '\t');
            for (int n = below(700); n >= 0; --n)
                out += pick(kWords) + std::string(" ");
            out += '\n';
        }
        return out;
    }
};

template <typename T, typename V> void setBoth(void (Class1::*set)(T), Class1& r, V& field, V v) {
    (r.*set)(v);
    field = v;
}
#define SET(property, value) [&] { setBoth(&Class1::set##property, r, m.property, value); }

// Rolls 0 to 41 set an option or a state property, now and then outside its range; up to 69 search
// for a piece of the file or a few characters drawn anew (upper-cased for half the searches that
// ignore case); 70 closes the file and the rest read a line. Returns what each raised.
std::pair<std::string, std::string> act(Generator& g, Class1& r, ReaderModel& m,
                                        const std::string& content, int roll, bool mayFail) {
    static const char* const kDelimiters[] = {"", "\r\n", "\n", "\r", "b", "\n\r", "\f", "\fb"};
    static const int32_t kSizes[] = {1, 2, 3, 4, 5, 7, 10, 16, 64, 128, 4096, 4096};
    static const int16_t kWidths[] = {0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6};
    const bool rare = mayFail && g.chance(5);
    const std::function<void()> settings[] = {
        SET(BufferSize, rare ? g.pick({0, -1, 32767, 32768}) : g.pick(kSizes)),
        SET(StripNulls, g.chance(40)),
        SET(OnlyAlphaNumericCharacters, g.chance(60)),
        SET(CountOnlyNonBlankLines, g.chance(40)),
        SET(StripTrailingSpaces, g.chance(40)),
        SET(StripLeadingSpaces, g.chance(40)),
        SET(NoBlankLines, g.chance(25)),
        SET(FixedWidthLineLength, rare ? g.pick<int16_t>({-1, 32766, 32767}) : g.pick(kWidths)),
        SET(LineDelimiter, std::string(g.pick(kDelimiters))),
        SET(Text, g.text(5)),
        SET(NextLine, g.text(5)),
        SET(LeftOver, g.text(6)),
        SET(EndOfFile, false),
        SET(BytesLeft, rare ? -1 : std::max<int64_t>(m.BytesLeft, 0) * g.below(2) + g.below(20)),
    };
    if (roll < 42) {
        settings[roll % 14]();
        return {};
    }
    const bool ignoreCase = g.chance(40);
    std::string s = g.chance(30) ? g.text(5) : content.substr(g.below(int(content.size()) + 1), 5);
    // Shorter than the buffer, as csFindInFile requires, but now and then not.
    const size_t longest = m.BufferSize < 1 ? 5 : size_t(m.BufferSize) - !rare;
    s.resize(std::min<size_t>({s.size(), size_t(g.below(6)), longest}));
    for (char& c : s)
        c = ignoreCase && g.chance(50) ? char(std::toupper(static_cast<unsigned char>(c))) : c;
    auto call = [&](auto& reader) -> std::string {
        try {
            roll < 56    ? reader.csFindLine(s, ignoreCase)
            : roll < 70  ? reader.csFindInFile(s, ignoreCase)
            : roll == 70 ? reader.cfCloseFile()
                         : reader.csGetALine();
            return "";
        } catch (const std::exception& e) {
            return typeid(e).name();
        }
    };
    return {call(r), call(m)};
}

struct GeneratedFiles : ReaderTest, testing::WithParamInterface<int> {};

TEST_P(GeneratedFiles, EveryPropertyAndFailureMatchesTheModelAfterEveryCall) {
    // Odd bands count event passes; an event pass keeps the reader off its short cut.
    const bool countPasses = GetParam() % 2 == 1;
    linereader::setEventPass(countPasses ? +[] { ++g_eventPasses; } : nullptr);
    const std::string path = dir + "/model";
    for (int seed = GetParam() * 500; seed < GetParam() * 500 + 500; ++seed) {
        Generator g{std::mt19937(seed)};
        const std::string content = g.chance(10)   ? g.words()
                                    : g.chance(30) ? g.text(3000, true)
                                                   : g.text(g.chance(10) ? 600 : 90);
        Class1 r;
        ReaderModel m(content);
        for (int i = 0; i < 9; ++i) // any setting but BytesLeft, which opening sets
            act(g, r, m, content, g.below(13), false);
        std::ofstream(path, std::ios::binary) << content;
        r.setFileName(path);
        ASSERT_EQ(r.cfOpenFile(), 0);
        g_eventPasses = 0;
        for (int step = g.below(40); step >= 0; --step) {
            const auto [raised, modelRaised] = act(g, r, m, content, g.below(200), true);
            ASSERT_EQ(std::tuple(r.Text(), r.NextLine(), r.PreviousLine(), r.LeftOver(),
                                 r.LineDelimiter(), r.LinesRead(), r.BytesLeft(), r.EndOfFile(),
                                 countPasses ? g_eventPasses : 0, raised),
                      std::tuple(m.Text, m.NextLine, m.PreviousLine, m.LeftOver, m.LineDelimiter,
                                 m.LinesRead, m.BytesLeft, m.EndOfFile,
                                 countPasses ? m.eventPasses : 0, modelRaised))
                << "seed " << seed << ", file " << testing::PrintToString(content);
        }
    }
    linereader::setEventPass(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedFiles, testing::Range(0, 10));

TEST_F(ReaderTest, ChannelsAreTheLowestFreeNumbersSharedInFileOrderAndFreedByClosingOrDropping) {
    auto first = open("abcdefghij", 2), second = open("x");
    first->csGetALine(); // reads ab and cd, and the rest ahead
    Class1 shared;
    shared.setChannelNumber(first->ChannelNumber());
    shared.setBufferSize(2);
    shared.setBytesLeft(100);
    shared.csGetALine(); // reads ef and gh, and the rest ahead
    EXPECT_EQ(first->Text() + first->NextLine() + shared.Text() + shared.NextLine(), "abcdefgh");
    first.reset(); // shared forgets what it read ahead from the file closed
    auto third = open("new");
    shared.setBytesLeft(3);
    shared.csGetALine();
    EXPECT_EQ(shared.NextLine(), "ne");
    second->cfCloseFile();
    EXPECT_EQ(std::tuple(third->ChannelNumber(), open("z")->ChannelNumber()), std::tuple(1, 2));
    std::vector<std::unique_ptr<Class1>> all(254); // with all 255 in use an open fails
    for (auto& reader : all)
        reader = open("s");
    EXPECT_NE(second->cfOpenFile(), 0);
    all[40].reset();
    EXPECT_EQ(second->cfOpenFile(), 0);
    EXPECT_EQ(second->ChannelNumber(), 42);
}

TEST_F(ReaderTest, OpeningCreatesAMissingFileTakesAReadOnlyOneAndAFailedOneSparesTheNextOwner) {
    Class1 reader;
    reader.setFileName(dir + "/new");
    EXPECT_EQ(reader.cfOpenFile(), 0);
    EXPECT_EQ(fs::file_size(reader.FileName()), 0u);
    ASSERT_EQ(::truncate(reader.FileName().c_str(), 3'000'000'123LL), 0);
    ASSERT_EQ(::chmod(reader.FileName().c_str(), 0444) + ::chmod(dir.c_str(), 0755), 0);
    const bool root = ::geteuid() == 0; // root may write anything: open as somebody else
    ASSERT_EQ(root ? ::seteuid(65534) : 0, 0);
    const int16_t result = reader.cfOpenFile();
    ASSERT_EQ(root ? ::seteuid(0) : 0, 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(reader.BytesLeft(), 3'000'000'123LL);
    // A failed open leaves its number to the next owner, whose file dropping it leaves open.
    auto failed = std::make_unique<Class1>();
    failed->setFileName(dir);
    EXPECT_NE(failed->cfOpenFile(), 0);
    auto owner = open("a");
    failed.reset();
    owner->csGetALine();
    EXPECT_EQ(owner->Text(), "a");
}

} // namespace
