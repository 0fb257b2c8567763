// glebix-batch: headless, repeatable runs of the Glebix model.
#include <string>
#include <vector>

#include "BatchMain.h"

int main(int argc, char **argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return glebix::batch::BatchMain(arguments);
}
