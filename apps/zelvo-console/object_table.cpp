#include "object_table.h"

#include <algorithm>

namespace {
const char* const kRecordEnd = "-";
const char* const kName = "name";
const char* const kSelectPrefix = "select_";
const char* const kSelectNextPrefix = "snx";
// The short select words of the object classes.
const char* const kShortSelects[] = {"sd", "sdg", "sa", "sda", "sac", "sc", "sp", "ssq", "ssqg"};
} // namespace

bool CObjectTable::isListing(const std::string& command)
{
    if (command.rfind(kSelectPrefix, 0) == 0 || command.rfind(kSelectNextPrefix, 0) == 0) return true;
    return std::find(std::begin(kShortSelects), std::end(kShortSelects), command) != std::end(kShortSelects);
}

void CObjectTable::add(const std::string& text)
{
    record_t current;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        const std::string line = text.substr(start, lf - start);
        start = lf + 1;
        if (line == kRecordEnd) {
            _records.push_back(std::move(current));
            current.clear();
            continue;
        }
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) current.emplace_back(line, std::string());
        else current.emplace_back(line.substr(0, equals), line.substr(equals + 1));
    }
    if (!current.empty()) _records.push_back(std::move(current));
}

std::vector<std::string> CObjectTable::_columns() const
{
    std::vector<std::string> columns;
    bool named = false;
    for (const record_t& record : _records) {
        for (const auto& entry : record) {
            if (entry.first == kName) named = true;
            else if (std::find(columns.begin(), columns.end(), entry.first) == columns.end())
                columns.push_back(entry.first);
        }
    }
    if (named) columns.insert(columns.begin(), kName);
    return columns;
}

namespace {
std::string valueOf(const CObjectTable::record_t& record, const std::string& column)
{
    for (const auto& entry : record)
        if (entry.first == column) return entry.second;
    return std::string();
}
} // namespace

std::string CObjectTable::table() const
{
    const std::vector<std::string> columns = _columns();
    std::vector<size_t> widths;
    for (const std::string& column : columns) {
        size_t width = column.size();
        for (const record_t& record : _records) width = std::max(width, valueOf(record, column).size());
        widths.push_back(width);
    }
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t i = 0; i < cells.size(); ++i) {
            text += cells[i];
            if (i + 1 < cells.size()) text += std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        return text + "\n";
    };
    std::string text = line(columns);
    std::vector<std::string> dashes;
    for (size_t width : widths) dashes.push_back(std::string(width, '-'));
    text += line(dashes);
    for (const record_t& record : _records) {
        std::vector<std::string> cells;
        for (const std::string& column : columns) cells.push_back(valueOf(record, column));
        text += line(cells);
    }
    return text;
}

std::string CObjectTable::json(std::string (*quote)(const std::string&)) const
{
    std::string text = "[";
    for (size_t i = 0; i < _records.size(); ++i) {
        text += i ? ",{" : "{";
        for (size_t k = 0; k < _records[i].size(); ++k)
            text += (k ? "," : "") + quote(_records[i][k].first) + ":" + quote(_records[i][k].second);
        text += "}";
    }
    return text + "]";
}
