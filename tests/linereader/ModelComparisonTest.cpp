// Runs Class1 beside the plain model of its steps on generated files, option sets and call
// sequences, and checks that every property agrees after every call. The generated data is drawn
// from the characters that steer the reader: CR, LF, form feed, NUL, tab, space, letters and bytes
// above 127; buffers are mostly tiny so that refills split lines and line breaks everywhere.
#include "linereader/Class1.h"
#include "ReaderModel.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace {

int g_eventPasses = 0;
bool g_countingEventPasses = false;
void countEventPass() {
    ++g_eventPasses;
}

std::string printable(const std::string& s) {
    std::ostringstream out;
    for (unsigned char c : s) {
        if (c >= 33 && c <= 126 && c != '\\')
            out << c;
        else
            out << '\\' << static_cast<int>(c) << ';';
    }
    return out.str();
}

class Generator {
public:
    explicit Generator(uint32_t seed) : m_rng(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, size_t N> T pick(const T (&items)[N]) { return items[below(N)]; }

    std::string text(int maxLength) {
        static const char kChars[] = {'\r', '\n', '\f', '\0', '\t',   ' ',    ' ',    'a',
                                      'b',  'B',  'x',  ',',  '\x7f', '\xe9', '\xc9', '\x80'};
        // Some files lean towards one kind of line break so that long runs of it occur.
        std::string out;
        const int length = below(maxLength + 1);
        for (int i = 0; i < length; ++i)
            out += chance(15) ? std::string("\r\n") : std::string(1, pick(kChars));
        return out;
    }

private:
    std::mt19937 m_rng;
};

struct Pair {
    Class1 reader;
    ReaderModel model;
};

std::string compare(const Class1& r, const ReaderModel& m) {
    std::ostringstream diff;
    auto check = [&](const char* name, const auto& actual, const auto& expected) {
        if (!(actual == expected))
            diff << name << " differs; ";
    };
    check("StripNulls", r.StripNulls(), m.StripNulls);
    check("OnlyAlphaNumericCharacters", r.OnlyAlphaNumericCharacters(),
          m.OnlyAlphaNumericCharacters);
    check("FixedWidthLineLength", static_cast<int>(r.FixedWidthLineLength()),
          m.FixedWidthLineLength);
    check("LineDelimiter", r.LineDelimiter(), m.LineDelimiter);
    check("PreviousLine", r.PreviousLine(), m.PreviousLine);
    check("NextLine", r.NextLine(), m.NextLine);
    check("CountOnlyNonBlankLines", r.CountOnlyNonBlankLines(), m.CountOnlyNonBlankLines);
    check("LinesRead", r.LinesRead(), m.LinesRead);
    check("StripTrailingSpaces", r.StripTrailingSpaces(), m.StripTrailingSpaces);
    check("StripLeadingSpaces", r.StripLeadingSpaces(), m.StripLeadingSpaces);
    check("NoBlankLines", r.NoBlankLines(), m.NoBlankLines);
    check("BufferSize", static_cast<int>(r.BufferSize()), m.BufferSize);
    check("EndOfFile", r.EndOfFile(), m.EndOfFile);
    check("LeftOver", r.LeftOver(), m.LeftOver);
    check("Text", r.Text(), m.Text);
    check("BytesLeft", r.BytesLeft(), m.BytesLeft);
    if (g_countingEventPasses)
        check("event passes", g_eventPasses, m.eventPasses);
    if (!diff.str().empty()) {
        diff << "\n  reader: Text=" << printable(r.Text()) << " Next=" << printable(r.NextLine())
             << " Prev=" << printable(r.PreviousLine()) << " LeftOver=" << printable(r.LeftOver())
             << " Delim=" << printable(r.LineDelimiter()) << " Lines=" << r.LinesRead()
             << " EOF=" << r.EndOfFile() << " BytesLeft=" << r.BytesLeft();
        diff << "\n  model:  Text=" << printable(m.Text) << " Next=" << printable(m.NextLine)
             << " Prev=" << printable(m.PreviousLine) << " LeftOver=" << printable(m.LeftOver)
             << " Delim=" << printable(m.LineDelimiter) << " Lines=" << m.LinesRead
             << " EOF=" << m.EndOfFile << " BytesLeft=" << m.BytesLeft;
    }
    return diff.str();
}

// Applies one generated caller action to both and describes it for the failure log.
std::string step(Generator& g, Pair& p, const std::string& content) {
    Class1& r = p.reader;
    ReaderModel& m = p.model;
    const int action = g.below(100);
    if (action < 70) {
        r.csGetALine();
        m.csGetALine();
        return "csGetALine";
    }
    if (action < 77) {
        std::string find =
            g.chance(30) ? g.text(3) : content.substr(g.below(int(content.size()) + 1), g.below(4));
        const bool ignoreCase = g.chance(40);
        if (ignoreCase && g.chance(50))
            for (char& c : find)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        r.csFindLine(find, ignoreCase);
        m.csFindLine(find, ignoreCase);
        return "csFindLine(" + printable(find) + "," + std::to_string(ignoreCase) + ")";
    }
    if (action < 84) {
        std::string find =
            g.chance(25) ? g.text(4) : content.substr(g.below(int(content.size()) + 1), g.below(6));
        if (find.size() >= static_cast<size_t>(m.BufferSize))
            find.resize(static_cast<size_t>(m.BufferSize) - 1);
        const bool ignoreCase = g.chance(40);
        r.csFindInFile(find, ignoreCase);
        m.csFindInFile(find, ignoreCase);
        return "csFindInFile(" + printable(find) + "," + std::to_string(ignoreCase) + ")";
    }
    static const char* const kDelimiters[] = {"",     "\r\n", "\n", "\r", "a",
                                              "\n\r", "ab",   "\f", "\fb"};
    switch (g.below(12)) {
    case 0: {
        std::string d = g.pick(kDelimiters);
        r.setLineDelimiter(d);
        m.LineDelimiter = d;
        return "setLineDelimiter(" + printable(d) + ")";
    }
    case 1: {
        const bool v = g.chance(50);
        r.setNoBlankLines(v);
        m.NoBlankLines = v;
        return "setNoBlankLines";
    }
    case 2: {
        const bool v = g.chance(50);
        r.setStripNulls(v);
        m.StripNulls = v;
        return "setStripNulls";
    }
    case 3: {
        const int16_t v = static_cast<int16_t>(g.chance(60) ? 0 : 1 + g.below(4));
        r.setFixedWidthLineLength(v);
        m.FixedWidthLineLength = v;
        return "setFixedWidthLineLength(" + std::to_string(v) + ")";
    }
    case 4: {
        static const int kSizes[] = {1, 2, 3, 5, 8, 4096};
        const int v = g.pick(kSizes);
        r.setBufferSize(v);
        m.BufferSize = v;
        return "setBufferSize(" + std::to_string(v) + ")";
    }
    case 5: {
        const std::string v = g.text(5);
        r.setText(v);
        m.Text = v;
        return "setText(" + printable(v) + ")";
    }
    case 6: {
        const std::string v = g.text(5);
        r.setNextLine(v);
        m.NextLine = v;
        return "setNextLine(" + printable(v) + ")";
    }
    case 7: {
        const std::string v = g.text(6);
        r.setLeftOver(v);
        m.LeftOver = v;
        return "setLeftOver(" + printable(v) + ")";
    }
    case 8: {
        r.setEndOfFile(false);
        m.EndOfFile = false;
        return "setEndOfFile(false)";
    }
    case 9: {
        const int64_t v = m.BytesLeft > 0 ? g.below(int(m.BytesLeft) + 1) : 0;
        r.setBytesLeft(v);
        m.BytesLeft = v;
        return "setBytesLeft(" + std::to_string(v) + ")";
    }
    case 10: {
        const bool a = g.chance(50), b = g.chance(50), c = g.chance(50);
        r.setStripLeadingSpaces(a);
        m.StripLeadingSpaces = a;
        r.setStripTrailingSpaces(b);
        m.StripTrailingSpaces = b;
        r.setOnlyAlphaNumericCharacters(c);
        m.OnlyAlphaNumericCharacters = c;
        return "set line filters";
    }
    default: {
        const bool v = g.chance(50);
        r.setCountOnlyNonBlankLines(v);
        m.CountOnlyNonBlankLines = v;
        r.setPreviousLine("p");
        m.PreviousLine = "p";
        return "setCountOnlyNonBlankLines, setPreviousLine";
    }
    }
}

class GeneratedFiles : public testing::TestWithParam<int> {
protected:
    // Half the bands run with an event pass installed, which keeps the reader on its full steps;
    // the others let it take its short cut for plain lines.
    void SetUp() override {
        g_countingEventPasses = GetParam() % 2 == 0;
        linereader::setEventPass(g_countingEventPasses ? countEventPass : nullptr);
    }
    void TearDown() override { linereader::setEventPass(nullptr); }
};

TEST_P(GeneratedFiles, EveryPropertyMatchesTheModelAfterEveryCall) {
    ScratchDir dir;
    constexpr int kCasesPerBand = 400;
    for (int i = 0; i < kCasesPerBand; ++i) {
        const uint32_t seed = static_cast<uint32_t>(GetParam() * kCasesPerBand + i);
        Generator g(seed);
        const std::string content = g.text(g.chance(10) ? 600 : 90);
        const std::string path = dir.write("case", content);

        Pair p;
        static const int kSizes[] = {1, 1, 2, 3, 4, 5, 6, 7, 10, 16, 64, 4096};
        const int bufferSize = g.pick(kSizes);
        p.reader.setBufferSize(bufferSize);
        p.model.BufferSize = bufferSize;
        std::ostringstream log;
        log << "seed " << seed << " file " << printable(content) << " BufferSize " << bufferSize;
        auto option = [&](auto setter, bool& field, const char* name) {
            const bool v = g.chance(35);
            (p.reader.*setter)(v);
            field = v;
            if (v)
                log << ' ' << name;
        };
        option(&Class1::setStripNulls, p.model.StripNulls, "StripNulls");
        option(&Class1::setOnlyAlphaNumericCharacters, p.model.OnlyAlphaNumericCharacters,
               "OnlyAlphaNumericCharacters");
        option(&Class1::setCountOnlyNonBlankLines, p.model.CountOnlyNonBlankLines,
               "CountOnlyNonBlankLines");
        option(&Class1::setStripTrailingSpaces, p.model.StripTrailingSpaces, "StripTrailingSpaces");
        option(&Class1::setStripLeadingSpaces, p.model.StripLeadingSpaces, "StripLeadingSpaces");
        option(&Class1::setNoBlankLines, p.model.NoBlankLines, "NoBlankLines");
        if (g.chance(20)) {
            const int16_t width = static_cast<int16_t>(1 + g.below(6));
            p.reader.setFixedWidthLineLength(width);
            p.model.FixedWidthLineLength = width;
            log << " FixedWidthLineLength " << width;
        }
        if (g.chance(15)) {
            static const char* const kPreset[] = {"\r\n", "\n", "\r", "b", "\n\r", "ab", "\fb"};
            const std::string d = g.pick(kPreset);
            p.reader.setLineDelimiter(d);
            p.model.LineDelimiter = d;
            log << " LineDelimiter " << printable(d);
        }

        p.reader.setFileName(path);
        ASSERT_EQ(p.reader.cfOpenFile(), 0) << log.str();
        p.model.open(content);
        g_eventPasses = 0;
        ASSERT_EQ(compare(p.reader, p.model), "") << log.str();

        const int steps = 1 + g.below(40);
        for (int s = 0; s < steps; ++s) {
            log << "\n  " << step(g, p, content);
            const std::string diff = compare(p.reader, p.model);
            ASSERT_EQ(diff, "") << log.str();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, GeneratedFiles, testing::Range(0, 10));

} // namespace
