// zelvo-tftpd: the TFTP Zelvo daemon.
#include <cstring>
#include <iostream>

#include "extended/library_info.h"

namespace {

void printUsage(std::ostream& out)
{
    out << "Usage: zelvo-tftpd [--help] [--version]\n"
           "\n"
           "  --help      show this text\n"
           "  --version   print the library version and exit\n";
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            printUsage(std::cout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << osk::CLibraryInfo::name() << " " << osk::CLibraryInfo::version() << "\n";
            return 0;
        }
        std::cerr << "zelvo-tftpd: unknown argument '" << argv[i] << "'\n";
        printUsage(std::cerr);
        return 2;
    }
    std::cout << osk::CLibraryInfo::name() << " " << osk::CLibraryInfo::version() << "\n"
              << "The TFTP engine is not built yet: this build holds the framework only.\n";
    return 1;
}
