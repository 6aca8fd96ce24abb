#include "extended/config.h"

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "standard/string_util.h"

namespace osk {

const char* const CConfig::mergeFileName = "merge.conf";

CConfig::CConfig(const std::string& version, const std::string& build, const std::string& path)
    : CStringMap(false), _fqpn(path), _version(version), _build(build)
{
}

bool CConfig::read(const std::string& path)
{
    if (!path.empty()) _fqpn = path;
    if (_fqpn.empty()) return false;
    std::ifstream file(_fqpn);
    if (!file) return false;
    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        text += line;
        text += '\n';
    }
    clear();
    set(text);
    _translate();
    return true;
}

bool CConfig::write(const std::string& path)
{
    const std::string target = path.empty() ? _fqpn : path;
    if (target.empty()) return false;
    const std::string temporary = target + ".tmp";
    {
        std::ofstream file(temporary, std::ios::out | std::ios::trunc);
        if (!file) return false;
        file << string();
        file.flush();
        if (!file) {
            file.close();
            ::unlink(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void CConfig::mergeUpdates(const std::string& directory)
{
    const std::string path = directory + "/" + mergeFileName;
    std::ifstream file(path);
    if (!file) return;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty()) continue;
        const size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        const std::string operation = line.substr(0, blank);
        const size_t equals = line.find('=', blank + 1);
        const std::string key = CStringUtil::trim(
            line.substr(blank + 1, equals == std::string::npos ? std::string::npos : equals - blank - 1));
        const std::string value =
            equals == std::string::npos ? std::string() : CStringUtil::trim(line.substr(equals + 1));
        if (key.empty()) continue;
        if (operation == "set") {
            (*this)[key] = value;
        } else if (operation == "add") {
            if (!defined(key)) (*this)[key] = value;
        } else if (operation == "del") {
            erase(key);
        }
    }
    file.close();
    _translate();
    if (write("")) ::unlink(path.c_str());
}

void CConfig::addTranslation(const std::string& legacyName, const std::string& currentName)
{
    _translations[legacyName] = currentName;
}

void CConfig::_translate()
{
    for (const auto& rename : _translations) {
        if (!defined(rename.first) || rename.first == rename.second) continue;
        const std::string value = get_string(rename.first, std::string());
        erase(rename.first);
        (*this)[rename.second] = value;
    }
}

} // namespace osk
