#include "linereader/Class1.h"

#include "linereader/Channels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

namespace linereader {
namespace {

void noEventPass() {}
void (*g_eventPass)() = noEventPass;

void runEventPass() {
    g_eventPass();
}

constexpr int32_t kMaxBufferSize = 32767;
constexpr int16_t kMaxFixedWidth = 32766;
constexpr char kFormFeed = '\f';
// How many buffers' worth the buffer string may grow to before its consumed front is dropped.
constexpr size_t kSlack = 8;

bool isBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Upper and lower case of Windows-1252, the single-byte character set the reader's bytes stand for.
std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c)
        fold[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        fold[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            fold[c] = static_cast<unsigned char>(c + 32);
    fold[0x8A] = 0x9A; // S caron
    fold[0x8C] = 0x9C; // OE
    fold[0x8E] = 0x9E; // Z caron
    fold[0x9F] = 0xFF; // Y diaeresis
    return fold;
}

const std::array<unsigned char, 256> kFold = makeFoldTable();

void foldInto(std::string& out, std::string_view text) {
    out.resize(text.size());
    std::transform(text.begin(), text.end(), out.begin(),
                   [](char c) { return static_cast<char>(kFold[static_cast<unsigned char>(c)]); });
}

size_t findExact(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return 0;
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    const char* data = haystack.data();
    if (needle.size() <= 2) {
        // Line breaks are one or two characters: memchr for the first one is much faster on
        // short lines than a general substring search.
        const size_t lastStart = haystack.size() - needle.size();
        size_t from = 0;
        while (from <= lastStart) {
            const void* hit = std::memchr(data + from, needle[0], lastStart - from + 1);
            if (!hit)
                return std::string_view::npos;
            const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
            if (needle.size() == 1 || data[at + 1] == needle[1])
                return at;
            from = at + 1;
        }
        return std::string_view::npos;
    }
    const void* hit = ::memmem(data, haystack.size(), needle.data(), needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : std::string_view::npos;
}

// Bytes of an 8-byte word equal to c, marked by their top bit. Only the lowest mark is
// guaranteed exact, which is all a search for the first match needs.
inline uint64_t bytesEqual(uint64_t word, unsigned char c) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    const uint64_t x = word ^ (kOnes * c);
    return (x - kOnes) & ~x & (kOnes << 7);
}

struct Terminator {
    size_t at = std::string_view::npos;
    bool formFeed = false;
};

// The first form feed or delimiter in the buffer, in one pass over the line. Line breaks are one
// or two characters, so the scan looks for their first character and a form feed together, eight
// bytes at a time; other delimiters take the general route.
Terminator findTerminator(std::string_view buffer, const std::string& delimiter) {
    const char* data = buffer.data();
    const size_t size = buffer.size();
    Terminator found;
    if (delimiter.empty() || delimiter.size() > 2 || delimiter[0] == kFormFeed ||
        std::endian::native != std::endian::little) {
        found.at = delimiter.empty() ? std::string_view::npos : findExact(buffer, delimiter);
        const size_t searchEnd = found.at == std::string_view::npos ? size : found.at;
        if (const void* ff = std::memchr(data, kFormFeed, searchEnd)) {
            found.at = static_cast<size_t>(static_cast<const char*>(ff) - data);
            found.formFeed = true;
        }
        return found;
    }
    const auto first = static_cast<unsigned char>(delimiter[0]);
    auto candidate = [&](size_t i) {
        if (data[i] == kFormFeed) {
            found = {i, true};
            return true;
        }
        if (delimiter.size() == 1 || (i + 1 < size && data[i + 1] == delimiter[1])) {
            found = {i, false};
            return true;
        }
        return false;
    };
    size_t i = 0;
    while (i + 8 <= size) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        uint64_t marks = bytesEqual(word, first) | bytesEqual(word, kFormFeed);
        while (marks != 0) {
            const size_t at = i + static_cast<size_t>(std::countr_zero(marks)) / 8;
            if (candidate(at))
                return found;
            marks &= marks - 1;
            // A false mark can only sit above a true one, so the rest are checked byte by byte.
            while (marks != 0 &&
                   data[i + static_cast<size_t>(std::countr_zero(marks)) / 8] !=
                       static_cast<char>(first) &&
                   data[i + static_cast<size_t>(std::countr_zero(marks)) / 8] != kFormFeed)
                marks &= marks - 1;
        }
        i += 8;
    }
    for (; i < size; ++i)
        if ((data[i] == static_cast<char>(first) || data[i] == kFormFeed) && candidate(i))
            return found;
    return found;
}

// Position of the first occurrence, or npos. An empty needle is found at the start of a non-empty
// text only, the way the platform's substring search treats it.
size_t findText(std::string_view haystack, std::string_view needle, bool ignoreCase) {
    if (needle.empty())
        return haystack.empty() ? std::string_view::npos : 0;
    if (!ignoreCase)
        return findExact(haystack, needle);
    std::string foldedHaystack, foldedNeedle;
    foldInto(foldedHaystack, haystack);
    foldInto(foldedNeedle, needle);
    return findExact(foldedHaystack, foldedNeedle);
}

} // namespace

void setEventPass(void (*pass)()) {
    g_eventPass = pass ? pass : noEventPass;
}

} // namespace linereader

using namespace linereader;

Class1::Class1() = default;

Class1::~Class1() {
    cfCloseFile();
}

void Class1::setLeftOver(const std::string& value) {
    m_buffer = value;
    m_bufferStart = 0;
}

std::string Class1::LeftOver() const {
    return std::string(leftOverData(), leftOverSize());
}

void Class1::dropLeftOverFront(size_t count) {
    m_bufferStart += std::min(count, leftOverSize());
    if (m_bufferStart == m_buffer.size()) {
        m_buffer.clear();
        m_bufferStart = 0;
    }
}

int16_t Class1::cfOpenFile() {
    // An object serves one file; opening again replaces its file instead of leaking the first.
    cfCloseFile();
    int16_t number = 0;
    int64_t length = 0;
    int error = channels::open(m_FileName, number, length);
    if (number != 0)
        m_ChannelNumber = number;
    if (error != 0)
        return static_cast<int16_t>(error);
    m_ownChannel = number;
    m_BytesLeft = length;
    return 0;
}

void Class1::cfCloseFile() {
    if (m_ownChannel != 0)
        channels::close(m_ownChannel);
    m_ownChannel = 0;
}

void Class1::csFillBuffer() {
    if (!m_EndOfFile) {
        if (m_BufferSize < 1)
            throw InvalidArgumentError("BufferSize is " + std::to_string(m_BufferSize) +
                                       "; it must be at least 1.");
        if (m_BufferSize > kMaxBufferSize)
            throw OverflowError("Overflow: BufferSize is " + std::to_string(m_BufferSize) +
                                "; it must not exceed 32767.");
        const size_t have = leftOverSize();
        int64_t count = 0;
        if (have < static_cast<size_t>(m_BufferSize)) {
            count = m_BufferSize - static_cast<int64_t>(have);
            if (count > m_BytesLeft)
                count = m_BytesLeft;
        }
        if (count < 0)
            throw InvalidArgumentError("BytesLeft is " + std::to_string(m_BytesLeft) +
                                       "; it cannot be negative.");
        if (count == 0) {
            channels::read(m_ChannelNumber, nullptr, 0); // still refused on a closed channel
        } else {
            // The consumed front is dropped only once the string has grown to several buffers,
            // so each byte is moved again at most once every few buffers' worth of reading.
            if (m_bufferStart > 0 && m_buffer.size() + static_cast<size_t>(count) >
                                         kSlack * static_cast<size_t>(m_BufferSize)) {
                m_buffer.erase(0, m_bufferStart);
                m_bufferStart = 0;
            }
            const size_t oldSize = m_buffer.size();
            m_buffer.resize(oldSize + static_cast<size_t>(count));
            const size_t got = channels::read(m_ChannelNumber, m_buffer.data() + oldSize,
                                              static_cast<size_t>(count));
            size_t newSize = oldSize + got;
            if (m_StripNulls) {
                char* chunk = m_buffer.data() + oldSize;
                newSize =
                    oldSize + static_cast<size_t>(std::remove(chunk, chunk + got, '\0') - chunk);
            }
            m_buffer.resize(newSize);
            // A file that shrank while open ends where its data ends; otherwise BytesLeft would
            // never reach 0 and a reader passing over blank lines would never stop.
            m_BytesLeft = got < static_cast<size_t>(count) ? 0 : m_BytesLeft - count;
        }
    }
    if (m_NextLine.empty() && leftOverSize() == 0 && m_BytesLeft == 0)
        m_EndOfFile = true;
    runEventPass();
}

void Class1::csDetectDelimiter() {
    const std::string_view buffer(leftOverData(), leftOverSize());
    // Positions are 1-based, as limit is: a candidate must start before the buffer's last
    // character, and the one that starts first wins (CR LF over the CR that begins it).
    size_t limit = buffer.size();
    const size_t crLf = findExact(buffer, "\r\n");
    const size_t lf = buffer.find('\n');
    const size_t cr = buffer.find('\r');
    if (crLf != std::string_view::npos && crLf + 1 < limit) {
        m_LineDelimiter = "\r\n";
        limit = crLf + 1;
    }
    if (lf != std::string_view::npos && lf + 1 < limit) {
        m_LineDelimiter = "\n";
        limit = lf + 1;
    }
    if (cr != std::string_view::npos && cr + 1 < limit)
        m_LineDelimiter = "\r";
}

void Class1::csExtractNextLine() {
    csFillBuffer();
    const char* data = leftOverData();
    const size_t size = leftOverSize();
    if (m_FixedWidthLineLength != 0) {
        if (m_FixedWidthLineLength < 0)
            throw InvalidArgumentError("FixedWidthLineLength is " +
                                       std::to_string(m_FixedWidthLineLength) +
                                       "; it cannot be negative.");
        if (m_FixedWidthLineLength > kMaxFixedWidth)
            throw OverflowError("Overflow: FixedWidthLineLength is " +
                                std::to_string(m_FixedWidthLineLength) +
                                "; it must not exceed 32766.");
        const size_t take = std::min(size, static_cast<size_t>(m_FixedWidthLineLength));
        m_NextLine.assign(data, take);
        dropLeftOverFront(take);
        return;
    }
    if (m_LineDelimiter.empty())
        csDetectDelimiter();
    // Only the text up to the terminator is scanned, so each line is scanned once.
    const Terminator end = findTerminator(std::string_view(data, size), m_LineDelimiter);
    if (end.at != std::string_view::npos) {
        m_NextLine.assign(data, end.at);
        dropLeftOverFront(end.at + (end.formFeed ? 1 : m_LineDelimiter.size()));
    } else {
        m_NextLine.assign(data, size);
        dropLeftOverFront(size);
    }
}

void Class1::applyLineFilters() {
    if (m_StripLeadingSpaces) {
        const size_t first = m_Text.find_first_not_of(' ');
        m_Text.erase(0, first == std::string::npos ? m_Text.size() : first);
    }
    if (m_StripTrailingSpaces) {
        const size_t last = m_Text.find_last_not_of(' ');
        m_Text.resize(last == std::string::npos ? 0 : last + 1);
    }
    if (m_OnlyAlphaNumericCharacters) {
        m_Text.erase(std::remove_if(m_Text.begin(), m_Text.end(),
                                    [](char c) {
                                        const auto code = static_cast<unsigned char>(c);
                                        return code < 32 || code > 126;
                                    }),
                     m_Text.end());
    }
}

void Class1::takeLine(bool fetchFirst) {
    if (fetchFirst || !bolNextLineLoaded)
        m_PreviousLine = m_Text;
    else
        m_PreviousLine.swap(m_Text); // Text is overwritten next, before anything can fail
    for (;;) {
        if (fetchFirst || !bolNextLineLoaded) {
            csExtractNextLine();
            bolNextLineLoaded = true;
            fetchFirst = false;
        }
        m_Text = m_NextLine;
        m_LinesRead += 1;
        if (m_CountOnlyNonBlankLines && isBlank(m_Text))
            m_LinesRead -= 1;
        applyLineFilters();
        csExtractNextLine();
        if (!(m_NoBlankLines && isBlank(m_Text) && !m_EndOfFile))
            return;
    }
}

void Class1::csGetALine() {
    takeLine(false);
}

void Class1::csFindLine(const std::string& strStringToFind, bool bolIgnoreCase) {
    if (m_Text.empty())
        csGetALine();
    for (;;) {
        const bool found = findText(m_Text, strStringToFind, bolIgnoreCase) != std::string::npos;
        if (!found)
            csGetALine();
        if (m_EndOfFile || found)
            return;
    }
}

void Class1::csFindInFile(const std::string& strStringToFind, bool bolIgnoreCase) {
    const size_t length = strStringToFind.size();
    // The buffer keeps the string's length between refills; a string as long as the buffer
    // would leave no room for new data and the search would never end.
    if (m_BufferSize < 1 || length >= static_cast<size_t>(m_BufferSize))
        throw InvalidArgumentError("csFindInFile: the text to find is " + std::to_string(length) +
                                   " characters long; it must be shorter than BufferSize (" +
                                   std::to_string(m_BufferSize) + ").");
    m_NextLine.clear();
    m_Text.clear();
    csFillBuffer();
    size_t at;
    for (;;) {
        at = findText(std::string_view(leftOverData(), leftOverSize()), strStringToFind,
                      bolIgnoreCase);
        bool refilled = false;
        if (at == std::string::npos && m_BytesLeft > 0) {
            if (leftOverSize() > length)
                dropLeftOverFront(leftOverSize() - length);
            csFillBuffer();
            refilled = true;
        }
        runEventPass();
        if (!refilled)
            break;
    }
    if (at == std::string::npos) {
        m_Text.clear();
        m_NextLine.clear();
        m_buffer.clear();
        m_bufferStart = 0;
        return;
    }
    const std::string head(leftOverData(), at);
    dropLeftOverFront(at);
    takeLine(true);
    if (m_FixedWidthLineLength != 0 || m_LineDelimiter.empty())
        return;
    // The last delimiter in head that starts at position L' or later (1-based), L' being its
    // length; a head with none leaves the line as it begins at the occurrence.
    const size_t delimiterLength = m_LineDelimiter.size();
    if (head.size() < delimiterLength)
        return;
    size_t d = head.rfind(m_LineDelimiter);
    if (d == std::string::npos || d + 1 < delimiterLength)
        return;
    m_Text = head.substr(d + delimiterLength) + m_Text;
    m_PreviousLine = head.substr(0, d);
}
