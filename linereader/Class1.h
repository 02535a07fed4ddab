// Class1 hands out a text file one line at a time through a buffer of bounded size, with options
// that clean each line, and can move forward to a line holding a given text. It is Quenvar's
// general-purpose line reader: the display numbers window reads its saved line through it, but it
// holds up on any file, any options and any size. It uses only the C++ standard library and POSIX.
//
// A caller sets FileName and the options, calls cfOpenFile, then csGetALine as often as it wants
// lines, reading each from Text; dropping the object closes its file. Every property has a getter
// X() and a setter setX(v) that stores the value as given; the reader's own steps go through the
// same state, so a caller that writes a state property between calls changes what happens next.
//
// Files are read as bytes, one byte a character (bytes 128 to 255 are Windows-1252 characters for
// case-insensitive matching). File channels 1 to 255 form one table for the whole process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace linereader {

// Base of everything the reader raises while reading or searching.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A count or position that does not fit the reader's 16-bit ranges (BufferSize above 32767,
// FixedWidthLineLength 32767).
class OverflowError : public Error {
public:
    using Error::Error;
};

// An option or argument the reader cannot work with (BufferSize below 1, a negative
// FixedWidthLineLength or BytesLeft, a csFindInFile string as long as the buffer).
class InvalidArgumentError : public Error {
public:
    using Error::Error;
};

// A read from a channel on which no file is open (the open failed, was never done, or the file
// was closed).
class ClosedChannelError : public Error {
public:
    using Error::Error;
};

// The operating system failed a read on an open channel.
class ReadError : public Error {
public:
    using Error::Error;
};

// Installs the function that runs one pass of pending window events; the reader calls it at every
// buffer refill and after every search pass so that long reads keep the windows responsive.
// The default does nothing; nullptr restores it.
void setEventPass(void (*pass)());

} // namespace linereader

class Class1 {
public:
    Class1();
    ~Class1();
    Class1(const Class1&) = delete;
    Class1& operator=(const Class1&) = delete;

    void setStripNulls(bool value) { m_StripNulls = value; }
    bool StripNulls() const { return m_StripNulls; }
    void setOnlyAlphaNumericCharacters(bool value) { m_OnlyAlphaNumericCharacters = value; }
    bool OnlyAlphaNumericCharacters() const { return m_OnlyAlphaNumericCharacters; }
    void setFixedWidthLineLength(int16_t value) { m_FixedWidthLineLength = value; }
    int16_t FixedWidthLineLength() const { return m_FixedWidthLineLength; }
    void setLineDelimiter(const std::string& value) { m_LineDelimiter = value; }
    const std::string& LineDelimiter() const { return m_LineDelimiter; }
    void setPreviousLine(const std::string& value) { previousLine() = value; }
    const std::string& PreviousLine() const { return *m_previous; }
    void setNextLine(const std::string& value) { nextLine() = value; }
    const std::string& NextLine() const { return *m_next; }
    void setCountOnlyNonBlankLines(bool value) { m_CountOnlyNonBlankLines = value; }
    bool CountOnlyNonBlankLines() const { return m_CountOnlyNonBlankLines; }
    void setLinesRead(double value) { m_LinesRead = value; }
    double LinesRead() const { return m_LinesRead; }
    void setStripTrailingSpaces(bool value) { m_StripTrailingSpaces = value; }
    bool StripTrailingSpaces() const { return m_StripTrailingSpaces; }
    void setStripLeadingSpaces(bool value) { m_StripLeadingSpaces = value; }
    bool StripLeadingSpaces() const { return m_StripLeadingSpaces; }
    void setNoBlankLines(bool value) { m_NoBlankLines = value; }
    bool NoBlankLines() const { return m_NoBlankLines; }
    void setFileName(const std::string& value) { m_FileName = value; }
    const std::string& FileName() const { return m_FileName; }
    void setBufferSize(int32_t value) { m_BufferSize = value; }
    int32_t BufferSize() const { return m_BufferSize; }
    void setChannelNumber(int16_t value) { m_ChannelNumber = value; }
    int16_t ChannelNumber() const { return m_ChannelNumber; }
    void setEndOfFile(bool value) { m_EndOfFile = value; }
    bool EndOfFile() const { return m_EndOfFile; }
    void setLeftOver(const std::string& value);
    std::string LeftOver() const;
    void setText(const std::string& value) { text() = value; }
    const std::string& Text() const { return *m_text; }
    void setBytesLeft(int64_t value) { m_BytesLeft = value; }
    int64_t BytesLeft() const { return m_BytesLeft; }

    // 0 when the file is open and ready, otherwise a non-zero error number (an errno value, or
    // EMFILE when all 255 channels are in use). Never throws; a failed open leaves nothing open.
    int16_t cfOpenFile();
    // Closes the channel this object opened; does nothing when it holds none.
    void cfCloseFile();
    // Moves one line on: Text gets the next line, NextLine the raw line after it.
    void csGetALine();
    // Moves line by line (filtered) to the first line from the current one on that holds the
    // string; ends with EndOfFile true when there is none.
    void csFindLine(const std::string& strStringToFind, bool bolIgnoreCase);
    // Searches the raw buffer and the unread rest of the file for the string and rebuilds the
    // line around its first occurrence; Text is empty when there is none. The string must be
    // shorter than BufferSize (InvalidArgumentError otherwise, raised before anything is read).
    void csFindInFile(const std::string& strStringToFind, bool bolIgnoreCase);

private:
    void csFillBuffer();
    // How many bytes a refill moves into LeftOver: up to BufferSize, and no more than BytesLeft
    // (negative when BytesLeft is).
    int64_t refillCount() const;
    [[noreturn, gnu::cold]] void throwBadBufferSize() const;
    [[noreturn, gnu::cold]] void throwClosedChannel() const;
    void csExtractNextLine();
    void csDetectDelimiter();
    std::string& previousLine() { return *m_previous; }
    std::string& text() { return *m_text; }
    // Whatever takes NextLine through here may change it, so what the short cut knew of it goes.
    std::string& nextLine() {
        m_nextLinePrintable = false;
        return *m_next;
    }
    // Applies the line clean-up options to the raw line. printable: the line is known to hold
    // nothing outside codes 32 to 126.
    void cleanLine(std::string& line, bool printable) const;
    // csGetALine's steps; fetchFirst takes the line as on the first call, fetching it first.
    void takeLine(bool fetchFirst);
    // csGetALine's steps in the usual case, where they come down to moving a few positions: a
    // line is loaded, no clean-up option is on and the line after it ends inside the buffer.
    // Returns false, having changed nothing, in any other case.
    bool takePlainLine();
    size_t leftOverSize() const { return m_bufferEnd - m_bufferStart; }
    const char* leftOverData() const { return m_buffer.data() + m_bufferStart; }
    void dropLeftOverFront(size_t count);
    void admit(size_t count);
    void removeNulsFromChunk(size_t count);
    void compactBuffer();
    void dropReadAhead();
    void giveReadAheadBack();
    static void releaseReadAhead(void* self, bool giveBack);
    size_t firstFormFeed(size_t from, size_t to);
    // Whether m_buffer[from, from + count) holds a NUL; most refills fall in a stretch already
    // known to hold none.
    bool hasNul(size_t from, size_t count) {
        if (from >= m_nulFreeFrom && from + count <= m_nulFreeTo)
            return false;
        return scanForNul(from, count);
    }
    bool scanForNul(size_t from, size_t count);
    void forgetFormFeeds() {
        m_formFeedFrom = m_formFeedTo = 0;
        m_formFeedAt = std::string::npos;
        m_nulFreeFrom = m_nulFreeTo = 0;
    }

    bool m_StripNulls = false;
    bool m_OnlyAlphaNumericCharacters = false;
    int16_t m_FixedWidthLineLength = 0;
    std::string m_LineDelimiter;
    bool m_CountOnlyNonBlankLines = false;
    double m_LinesRead = 0;
    bool m_StripTrailingSpaces = false;
    bool m_StripLeadingSpaces = false;
    bool m_NoBlankLines = false;
    std::string m_FileName;
    int32_t m_BufferSize = 4096;
    int16_t m_ChannelNumber = 0;
    bool m_EndOfFile = false;
    // PreviousLine, Text and NextLine: moving a line from one to the next swaps the pointers
    // instead of copying or swapping the strings. (Pointers rather than small slot numbers: two
    // adjacent bytes written apart and read together stall the processor on every line.)
    std::string m_lineSlots[3];
    std::string* m_previous = &m_lineSlots[0];
    std::string* m_text = &m_lineSlots[1];
    std::string* m_next = &m_lineSlots[2];
    int64_t m_BytesLeft = 0;

    bool bolNextLineLoaded = false;
    // While true (inside csGetALine, with no line filter on), the raw line that NextLine holds
    // by the reading steps is in Text instead: it was moved there rather than copied.
    bool m_nextLineInText = false;
    // Set by the short cut: the raw line in NextLine holds nothing outside codes 32 to 126.
    bool m_nextLinePrintable = false;

    // m_buffer holds, in order: text already split off, LeftOver [m_bufferStart, m_bufferEnd),
    // and the read-ahead [m_bufferEnd, end) taken from channel m_readAheadChannel but not yet
    // read as far as the reader's state goes. A refill moves m_bufferEnd over the read-ahead and
    // splitting a line off moves m_bufferStart, so neither copies the rest of the buffer; the
    // consumed front is dropped only before a fresh read.
    std::string m_buffer;
    size_t m_bufferStart = 0;
    size_t m_bufferEnd = 0;
    int16_t m_readAheadChannel = 0;
    // Where the form feed scan stands: [m_formFeedFrom, m_formFeedTo) of m_buffer has been
    // scanned, and m_formFeedAt is the first form feed in it (npos if none). Each byte is scanned
    // once instead of once per line until the cache is dropped (when bytes move).
    size_t m_formFeedFrom = 0;
    size_t m_formFeedTo = 0;
    size_t m_formFeedAt = std::string::npos;
    // [m_nulFreeFrom, m_nulFreeTo) of m_buffer is known to hold no NUL; dropped with the above.
    size_t m_nulFreeFrom = 0;
    size_t m_nulFreeTo = 0;
    // The channel this object opened and has not closed yet (0: none). Only this one is closed,
    // so an object whose open failed never closes a channel another object took meanwhile.
    int16_t m_ownChannel = 0;
};
