// vyncoff FILE [OUT]: prints a COFF file as text, to OUT or to standard output. A file that
// cannot be read as COFF gives a message on standard error and exit code 1.

#include "coff_file.h"
#include "coff_text.h"

#include <cstdio>
#include <fstream>
#include <iostream>

#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::cerr << "Usage: vyncoff FILE [OUT]\n"
                     "Prints the headers, sections, relocations, line numbers and symbols of a COFF file.\n";
        return 2;
    }
    kiv::TCoffFile coff;
    if (!coff.Load(argv[1])) {
        std::cerr << "vyncoff: " << coff.Error() << "\n";
        // A report captured into a file (the IDE's COFF view) says why it is empty.
        if (argc == 2 && !::isatty(1))
            std::cout << "vyncoff: " << coff.Error() << "\n";
        return 1;
    }
    const std::string text = kiv::coffdump::CoffText(coff, argv[1]);
    if (argc == 3) {
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::cerr << "vyncoff: cannot write " << argv[2] << "\n";
            return 1;
        }
        return 0;
    }
    std::cout << text;
    std::cout.flush();
    return std::cout ? 0 : 1;
}
