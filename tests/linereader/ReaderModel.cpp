#include "ReaderModel.h"

namespace {

// 1-based position of needle in text from position start, 0 when absent; an empty needle is found
// at start in a non-empty text.
size_t inStr(const std::string& text, const std::string& needle, size_t start = 1) {
    if (text.empty() || start > text.size())
        return 0;
    if (needle.empty())
        return start;
    for (size_t p = start; p + needle.size() - 1 <= text.size(); ++p) {
        bool same = true;
        for (size_t i = 0; i < needle.size(); ++i)
            if (text[p - 1 + i] != needle[i])
                same = false;
        if (same)
            return p;
    }
    return 0;
}

std::string left(const std::string& s, size_t n) {
    return s.substr(0, std::min(n, s.size()));
}
std::string mid(const std::string& s, size_t from) {
    return from > s.size() ? std::string() : s.substr(from - 1);
}

std::string trimLeft(std::string s) {
    while (!s.empty() && s[0] == ' ')
        s = mid(s, 2);
    return s;
}

std::string trimRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s = left(s, s.size() - 1);
    return s;
}

bool isBlank(const std::string& s) {
    return trimRight(trimLeft(s)).empty();
}

unsigned char lowerCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    switch (c) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x8E:
        return 0x9E;
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(lowerCase(static_cast<unsigned char>(c)));
    return s;
}

size_t find(const std::string& text, const std::string& needle, bool ignoreCase) {
    return ignoreCase ? inStr(lower(text), lower(needle)) : inStr(text, needle);
}

} // namespace

std::string ReaderModel::cfRemoveNulls(std::string text) {
    size_t p = inStr(text, std::string(1, '\0'));
    while (p > 0) {
        text = left(text, p - 1) + mid(text, p + 1);
        p = inStr(text, std::string(1, '\0'));
    }
    return text;
}

std::string ReaderModel::cfKeepPrintable(std::string text) {
    size_t i = 1;
    while (i <= text.size()) {
        auto code = static_cast<unsigned char>(text[i - 1]);
        if (code < 32 || code > 126)
            text = left(text, i - 1) + mid(text, i + 1);
        else
            ++i;
    }
    return text;
}

void ReaderModel::open(const std::string& content) {
    m_file = content;
    m_readPos = 0;
    BytesLeft = static_cast<int64_t>(content.size());
}

void ReaderModel::csFillBuffer() {
    if (!EndOfFile) {
        int64_t count = 0;
        if (static_cast<int64_t>(LeftOver.size()) < BufferSize) {
            count = BufferSize - static_cast<int64_t>(LeftOver.size());
            if (count > BytesLeft)
                count = BytesLeft;
        }
        std::string chunk = m_readPos < m_file.size() ? m_file.substr(m_readPos, count) : "";
        m_readPos += chunk.size();
        const bool shortRead = static_cast<int64_t>(chunk.size()) < count;
        if (StripNulls)
            chunk = cfRemoveNulls(chunk);
        LeftOver = LeftOver + chunk;
        BytesLeft = shortRead ? 0 : BytesLeft - count;
    }
    if (NextLine.empty() && LeftOver.empty() && BytesLeft == 0)
        EndOfFile = true;
    ++eventPasses;
}

void ReaderModel::csDetectDelimiter() {
    size_t p1 = inStr(LeftOver, "\r\n");
    size_t p2 = inStr(LeftOver, "\n");
    size_t p3 = inStr(LeftOver, "\r");
    size_t limit = LeftOver.size();
    if (p1 > 0 && p1 < limit) {
        LineDelimiter = "\r\n";
        limit = p1;
    }
    if (p2 > 0 && p2 < limit) {
        LineDelimiter = "\n";
        limit = p2;
    }
    if (p3 > 0 && p3 < limit)
        LineDelimiter = "\r";
}

void ReaderModel::csExtractNextLine() {
    csFillBuffer();
    if (FixedWidthLineLength != 0) {
        NextLine = left(LeftOver, FixedWidthLineLength);
        LeftOver = mid(LeftOver, FixedWidthLineLength + 1);
        return;
    }
    if (LineDelimiter.empty())
        csDetectDelimiter();
    size_t f = inStr(LeftOver, "\f");
    size_t d = LineDelimiter.empty() ? 0 : inStr(LeftOver, LineDelimiter);
    size_t p = d;
    if (f > 0 && (d == 0 || f < d))
        p = f;
    if (p == 0) {
        NextLine = LeftOver;
        LeftOver = "";
        return;
    }
    NextLine = left(LeftOver, p - 1);
    LeftOver = p == f ? mid(LeftOver, p + 1) : mid(LeftOver, p + LineDelimiter.size());
}

void ReaderModel::getALine(bool asFirstCall) {
    PreviousLine = Text;
    for (;;) {
        if (!bolNextLineLoaded || asFirstCall) {
            csExtractNextLine();
            bolNextLineLoaded = true;
            asFirstCall = false;
        }
        Text = NextLine;
        LinesRead = LinesRead + 1;
        if (CountOnlyNonBlankLines && isBlank(Text))
            LinesRead = LinesRead - 1;
        if (StripLeadingSpaces)
            Text = trimLeft(Text);
        if (StripTrailingSpaces)
            Text = trimRight(Text);
        if (OnlyAlphaNumericCharacters)
            Text = cfKeepPrintable(Text);
        csExtractNextLine();
        if (NoBlankLines && isBlank(Text) && !EndOfFile)
            continue;
        return;
    }
}

void ReaderModel::csGetALine() {
    getALine(false);
}

void ReaderModel::csFindLine(const std::string& toFind, bool ignoreCase) {
    if (Text.empty())
        csGetALine();
    for (;;) {
        bool found = find(Text, toFind, ignoreCase) > 0;
        if (!found)
            csGetALine();
        if (EndOfFile)
            return;
        if (found)
            return;
    }
}

void ReaderModel::csFindInFile(const std::string& toFind, bool ignoreCase) {
    NextLine = "";
    Text = "";
    csFillBuffer();
    size_t p;
    for (;;) {
        p = find(LeftOver, toFind, ignoreCase);
        bool refilled = false;
        if (p == 0 && BytesLeft > 0) {
            if (LeftOver.size() > toFind.size())
                LeftOver = mid(LeftOver, LeftOver.size() - toFind.size() + 1);
            csFillBuffer();
            refilled = true;
        }
        ++eventPasses;
        if (!refilled)
            break;
    }
    if (p == 0) {
        Text = "";
        NextLine = "";
        LeftOver = "";
        return;
    }
    std::string head = left(LeftOver, p - 1);
    LeftOver = mid(LeftOver, p);
    getALine(true);
    if (FixedWidthLineLength != 0)
        return;
    const size_t l = LineDelimiter.size();
    if (l == 0)
        return;
    for (size_t d = head.size(); d >= l && d >= 1; --d) {
        if (d + l - 1 <= head.size() && head.substr(d - 1, l) == LineDelimiter) {
            Text = mid(head, d + l) + Text;
            PreviousLine = left(head, d - 1);
            return;
        }
    }
}
