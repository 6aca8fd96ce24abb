#pragma once

#include <string>
#include <utility>
#include <vector>

// The objects of a listing ("select_policy", "sp", "select_next_domain" ...)
// gathered from the records of a reply (lines of key=value, each record
// ended by a "-" line) and shown as a table or as JSON objects.
class CObjectTable {
public:
    using record_t = std::vector<std::pair<std::string, std::string>>;

    // Whether the command word lists objects: its replies are shown as a
    // table (a dump stays lines, so that it can be replayed).
    static bool isListing(const std::string& command);

    // Adds the records of text (a reply's body, records in order).
    void add(const std::string& text);
    bool empty() const { return _records.empty(); }

    // A header line of the attribute names ("name" first, then in the order
    // met), a line of dashes, and one line per object; columns are padded
    // to their widest value.
    std::string table() const;
    // [{"name":"..",...},...]; quote turns a text into a JSON string.
    std::string json(std::string (*quote)(const std::string&)) const;

private:
    std::vector<std::string> _columns() const;

    std::vector<record_t> _records;
};
