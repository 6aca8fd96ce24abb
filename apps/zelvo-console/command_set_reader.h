#pragma once

#include <string>
#include <vector>

// Cuts the console's input into command sets. Lines come one at a time (from
// a file, standard input or the line editor); a blank line ends the set
// being collected. Blank lines between sets and lines starting with '#' are
// skipped; a carriage return at the end of a line is dropped, so files with
// CR LF line ends read the same.
class CCommandSetReader {
public:
    // Adds one line (without its line feed). True when it completed a set,
    // which take() then returns.
    bool feed(std::string line);
    // End of input: true when lines were pending; they form the last set.
    bool finish();
    // The completed set; the reader starts a new one.
    std::vector<std::string> take();
    // Lines collected for the set not yet complete.
    size_t pending() const { return _lines.size(); }

    // The lines of a -c text: separated by newlines or by ';' ("\;" stands
    // for a ';' within a line); blanks at the start of a line and empty
    // lines are dropped.
    static std::vector<std::string> splitInline(const std::string& text);
    // A set that ends the session: its first line is "quit", "exit" or "bye".
    static bool isQuit(const std::vector<std::string>& set);

private:
    std::vector<std::string> _lines;
};
