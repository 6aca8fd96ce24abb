#include "load_config.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace loadgen {

namespace {
unsigned long long number(const std::string& flag, const std::string& text, unsigned long long low,
                          unsigned long long high)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != 0 || value < low || value > high)
        throw std::invalid_argument(flag + " needs a whole number from " + std::to_string(low) + " to " +
                                    std::to_string(high) + ", not '" + text + "'");
    return value;
}

std::vector<std::string> split(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}
} // namespace

const char* CLoadConfig::usage()
{
    return "Usage: tftp_loadgen --server HOST:PORT --source DIR [options]\n"
           "       tftp_loadgen --self-test [--source DIR] [options]\n"
           "       tftp_loadgen --floor ROUNDS\n"
           "\n"
           "  --server HOST:PORT    server request address (IPv4 or [IPv6]:port)\n"
           "  --source DIR          local copies of the served files; every received byte is checked\n"
           "  --files A,B,...       files of DIR to transfer, in turn (default: all of DIR)\n"
           "  --transfers N         transfers in all (default 100)\n"
           "  --concurrency C       transfers running at once (default 10)\n"
           "  --mode read|write     download or upload (default read)\n"
           "  --threads N           client threads sharing the transfers (default 1)\n"
           "  --blksize N           block size asked for with the blksize option (default 512)\n"
           "  --windowsize N        downloads: ask for a window of N blocks per acknowledgement\n"
           "  --options LIST        blksize,tsize,timeout or none (default none)\n"
           "  --timeout-ms MS       client retransmission timer (default 1000)\n"
           "  --retries N           consecutive re-sends before a transfer fails (default 5)\n"
           "  --upload-prefix P     remote name prefix of uploads (default loadgen-upload-)\n"
           "  --verify-uploads DIR  after the run, compare each uploaded file in DIR and remove it\n"
           "  --time-limit SEC      give up on the run after SEC seconds (default 600)\n"
           "  --json                print the result as one JSON object\n"
           "  --self-test           run against an in-process responder (the client's own ceiling)\n"
           "  --synthetic-size N    self-test file size when no --source is given (default 1024)\n"
           "  --floor ROUNDS        measure bare loopback UDP ping-pong round trips\n";
}

CLoadConfig CLoadConfig::parse(int argc, const char* const* argv)
{
    CLoadConfig config;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(flag + " needs a value");
            return argv[++i];
        };
        if (flag == "--help" || flag == "-h") {
            config.help = true;
        } else if (flag == "--server") {
            const std::string text = value();
            const size_t colon = text.rfind(':');
            if (colon == std::string::npos || colon == 0)
                throw std::invalid_argument("--server needs HOST:PORT, not '" + text + "'");
            config.host = text.substr(0, colon);
            if (config.host.size() > 2 && config.host.front() == '[' && config.host.back() == ']')
                config.host = config.host.substr(1, config.host.size() - 2);
            config.port = static_cast<unsigned short>(number("--server port", text.substr(colon + 1), 1, 65535));
        } else if (flag == "--source") {
            config.sourceDir = value();
        } else if (flag == "--files") {
            config.files = split(value());
        } else if (flag == "--transfers") {
            config.transfers = number(flag, value(), 1, 100000000);
        } else if (flag == "--concurrency") {
            config.concurrency = number(flag, value(), 1, 100000);
        } else if (flag == "--threads") {
            config.threads = static_cast<unsigned>(number(flag, value(), 1, 64));
        } else if (flag == "--windowsize") {
            config.transfer.windowsize = number(flag, value(), 1, 65535);
        } else if (flag == "--mode") {
            const std::string mode = value();
            if (mode != "read" && mode != "write")
                throw std::invalid_argument("--mode is read or write, not '" + mode + "'");
            config.transfer.upload = mode == "write";
        } else if (flag == "--blksize") {
            config.transfer.blksize = number(flag, value(), 8, 65464);
        } else if (flag == "--options") {
            config.transfer.optionBlksize = config.transfer.optionTsize = config.transfer.optionTimeout = false;
            for (const std::string& option : split(value())) {
                if (option == "blksize") config.transfer.optionBlksize = true;
                else if (option == "tsize") config.transfer.optionTsize = true;
                else if (option == "timeout") config.transfer.optionTimeout = true;
                else if (option != "none")
                    throw std::invalid_argument("--options takes blksize, tsize, timeout or none, not '" + option + "'");
            }
        } else if (flag == "--timeout-ms") {
            config.timeoutMs = static_cast<unsigned>(number(flag, value(), 1, 255000));
        } else if (flag == "--retries") {
            config.transfer.maxRetries = static_cast<unsigned>(number(flag, value(), 0, 1000));
        } else if (flag == "--upload-prefix") {
            config.uploadPrefix = value();
        } else if (flag == "--verify-uploads") {
            config.verifyDir = value();
        } else if (flag == "--time-limit") {
            config.timeLimitSec = static_cast<double>(number(flag, value(), 1, 86400));
        } else if (flag == "--json") {
            config.json = true;
        } else if (flag == "--self-test") {
            config.selfTest = true;
        } else if (flag == "--synthetic-size") {
            config.syntheticSize = number(flag, value(), 0, 1ULL << 32);
        } else if (flag == "--floor") {
            config.floorRounds = number(flag, value(), 1, 100000000);
        } else {
            throw std::invalid_argument("unknown argument '" + flag + "'");
        }
    }
    config.transfer.timeoutSec = (config.timeoutMs + 999) / 1000;
    if (config.help || config.floorRounds) return config;
    if (!config.selfTest && config.sourceDir.empty()) throw std::invalid_argument("--source is required");
    if (config.concurrency > config.transfers) config.concurrency = config.transfers;
    if (config.transfer.windowsize && config.transfer.upload)
        throw std::invalid_argument("--windowsize is for downloads (--mode read)");
    return config;
}

} // namespace loadgen
