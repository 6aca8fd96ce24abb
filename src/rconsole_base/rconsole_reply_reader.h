#pragma once

#include <string>

// The console's side of reading replies: collects received text and cuts it
// into replies. The greeting ends at the first empty line; a command's reply
// ends at the empty line after its "code=" line (a "message=" line may come
// between), so records and lines streamed before it stay in the reply.
class CRConsoleReplyReader {
public:
    // Adds received bytes up to the first NUL byte (the NUL padding of the
    // last enciphered block).
    void append(const char* data, size_t length);

    // Takes the next complete reply, with its final empty line, out of the
    // buffer. withCode: the reply must carry a code line (every command
    // reply); without, the first empty line ends it (the greeting).
    bool next(std::string& reply, bool withCode = true);

    // Takes the complete lines at the front of the buffer that cannot be
    // part of a closing code block (records and lines streamed ahead of the
    // final reply), so a console can show them while more arrive. Stops at
    // an empty line or at a "code="/"message=" line, which stays buffered
    // until the reply is complete.
    std::string takeStreamed();

    // "ack", "nak" or "" for a reply text.
    static std::string code(const std::string& reply);
    // The reply without its code, message and closing empty line.
    static std::string body(const std::string& reply);
    // The "message=" text of a reply, empty when none.
    static std::string message(const std::string& reply);

    size_t buffered() const { return _buffer.size(); }

private:
    // The first line feed at or after lineStart, or npos; what earlier
    // calls found free of line feeds is not searched again.
    size_t _findLineFeed(size_t lineStart);
    // length bytes were taken off the front of the buffer.
    void _taken(size_t length);
    // Reading starts again at the front.
    void _forget();

    std::string _buffer;
    // What next() has read of an unfinished reply, so that one arriving in
    // many reads is read once: it resumes at the line _resumeAt with the
    // code state of the lines before it, for replies with or without a
    // code; between _resumeAt and _noLineFeedTo there is no line feed.
    size_t _resumeAt = 0;
    bool _resumeSawCode = false;
    bool _resumeWithCode = true;
    size_t _noLineFeedTo = 0;
};
