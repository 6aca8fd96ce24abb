#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace zelvo_test {

// Sends file descriptor 1 to a temporary file while alive; text() reads
// what was written so far.
class CStdoutCapture {
public:
    CStdoutCapture() : _path(tmpName())
    {
        std::fflush(stdout);
        _saved = ::dup(STDOUT_FILENO);
        const int fd = ::open(_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
    }
    ~CStdoutCapture()
    {
        restore();
        std::remove(_path.c_str());
    }
    void restore()
    {
        if (_saved < 0) return;
        std::fflush(stdout);
        ::dup2(_saved, STDOUT_FILENO);
        ::close(_saved);
        _saved = -1;
    }
    std::string text() const
    {
        std::ifstream in(_path);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    static std::string tmpName()
    {
        static int counter = 0;
        return "/tmp/zelvo_stdout_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    }
    std::string _path;
    int _saved = -1;
};

} // namespace zelvo_test
