#pragma once

#include <cstddef>
#include <string>

namespace osk {

// Reads a text file as records: groups of lines ended by an empty line.
// Leading blanks and tabs are removed from each line; lines starting with a
// comment character are skipped; trailing blanks, tabs, carriage returns and
// line feeds are removed. Each record (its lines joined with line feeds) is
// handed to _processRecord() with the number of its first line.
class CFileReader {
public:
    CFileReader() = default;
    virtual ~CFileReader() = default;
    CFileReader(const CFileReader&) = delete;
    CFileReader& operator=(const CFileReader&) = delete;

    // Reads directory/file (file alone when directory is empty or file is
    // absolute). False when the file cannot be opened.
    bool execute(const std::string& directory, const std::string& file);

    // Adds a comment character besides "#".
    void addCommentChar(char c) { _commentChars += c; }
    const std::string& commentChars() const { return _commentChars; }

    // Stops the reading after the current record.
    void abort(bool stop) { _abort = stop; }
    bool abort() const { return _abort; }

    // directory + "/" + file, or file alone as described for execute().
    static std::string filePath(const std::string& directory, const std::string& file);

protected:
    virtual void _processRecord(const std::string& record, size_t lineNumber) = 0;

private:
    std::string _commentChars = "#";
    bool _abort = false;
};

} // namespace osk
