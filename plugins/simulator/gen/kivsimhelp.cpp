// kivsimhelp FILE: writes the simulator library's help text (installed beside the library).

#include "simsession.h"

#include <cstdio>
#include <fstream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kivsimhelp FILE\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << kiv::sim::TSimSession::HelpText();
    return out ? 0 : 1;
}
