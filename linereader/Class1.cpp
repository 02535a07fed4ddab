#include "linereader/Class1.h"

#include "linereader/Channels.h"

#include <algorithm>
#include <array>
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
    const void* hit = needle.size() == 1 ? std::memchr(haystack.data(), needle[0], haystack.size())
                                         : ::memmem(haystack.data(), haystack.size(), needle.data(),
                                                    needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - haystack.data())
               : std::string_view::npos;
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
        if (!channels::isOpen(m_ChannelNumber))
            throw ClosedChannelError("Bad file name or number: no file is open on channel " +
                                     std::to_string(m_ChannelNumber) + "; call cfOpenFile first.");
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
        if (count > 0) {
            // Drop the consumed front once it outweighs what is left: each byte moves at most
            // once more, so the refills stay linear in the file.
            if (m_bufferStart > 0 && m_bufferStart >= have) {
                m_buffer.erase(0, m_bufferStart);
                m_bufferStart = 0;
            }
            const size_t oldSize = m_buffer.size();
            m_buffer.resize(oldSize + static_cast<size_t>(count));
            const size_t got = channels::read(m_ChannelNumber, m_buffer.data() + oldSize,
                                              static_cast<size_t>(count));
            auto chunkEnd = m_buffer.begin() + static_cast<std::ptrdiff_t>(oldSize + got);
            if (m_StripNulls)
                chunkEnd = std::remove(m_buffer.begin() + static_cast<std::ptrdiff_t>(oldSize),
                                       chunkEnd, '\0');
            m_buffer.erase(chunkEnd, m_buffer.end());
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
    const size_t delimiter = m_LineDelimiter.empty()
                                 ? std::string_view::npos
                                 : findExact(std::string_view(data, size), m_LineDelimiter);
    // Only the text before the delimiter is searched for a form feed, so each line is scanned once.
    const size_t searchEnd = delimiter == std::string_view::npos ? size : delimiter;
    const void* formFeed = std::memchr(data, kFormFeed, searchEnd);
    if (formFeed) {
        const size_t at = static_cast<size_t>(static_cast<const char*>(formFeed) - data);
        m_NextLine.assign(data, at);
        dropLeftOverFront(at + 1);
    } else if (delimiter != std::string_view::npos) {
        m_NextLine.assign(data, delimiter);
        dropLeftOverFront(delimiter + m_LineDelimiter.size());
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
    m_PreviousLine = m_Text;
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
