#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Assembles console command sets from received text. A command set is a
// sequence of lines ended by an empty line (two line feeds in a row).
// Carriage returns at the end of a non-empty line are dropped; a line of
// carriage returns only is kept as an empty line and does not end the set.
//
// Input is bounded: a line longer than maxLineLength or a set longer than
// maxSetLength marks the set as overflowed; the rest of such a line is
// dropped as it arrives, and the set still ends at the next empty line.
class CRConsoleCommandReader {
public:
    static constexpr size_t maxLineLength = 64 * 1024;
    static constexpr size_t maxSetLength = 1024 * 1024;

    // Adds received bytes up to the first NUL byte and splits off lines.
    // Once the set is complete, further text is ignored until reset().
    void append(const char* data, size_t length);

    bool complete() const { return _complete; }
    bool overflowed() const { return _overflowed; }
    const std::vector<std::string>& lines() const { return _lines; }
    std::vector<std::string>& lines() { return _lines; }

    // Forgets the lines, the unsplit text and the complete and overflow
    // flags.
    void reset();

private:
    void _split();
    void _overflow();

    std::string _buffer;
    // The first bytes of _buffer (an unfinished line) hold no line feed:
    // a line that arrives in many small reads is searched once, not once
    // per read.
    size_t _searched = 0;
    std::vector<std::string> _lines;
    size_t _setLength = 0;
    bool _complete = false;
    bool _overflowed = false;
    // The rest of an overlong line is being dropped.
    bool _skipping = false;
};
