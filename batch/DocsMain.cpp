// glebix-batch-docs: writes the manual page and the bash completion of glebix-batch,
// at build time, from the option and settings tables the program itself uses.
// Usage: glebix-batch-docs MANPAGE COMPLETION
#include <iostream>
#include <string>

#include "BashCompletion.h"
#include "Errors.h"
#include "FileIo.h"
#include "ManPage.h"

int main(int argc, char **argv) {
    using namespace glebix::batch;
    using namespace glebix::core;
    if (argc != 3) {
        std::cerr << "Utilisation : glebix-batch-docs PAGE_DE_MANUEL COMPLÈTEMENT_BASH\n";
        return 2;
    }
    try {
        WriteWholeFile(argv[1], ManPageText());
        WriteWholeFile(argv[2], BashCompletionText());
    } catch (const glebix::GlebixError &e) {
        std::cerr << "glebix-batch-docs : " << e.what() << "\n";
        return 1;
    }
    return 0;
}
