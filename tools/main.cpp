// rkcurl: FTP and HTTP transfers from the command line, through the RKCurl library.
#include <string>
#include <vector>

#include "Commands.h"
#include "Progress.h"

int main(int argc, char** argv) {
    rktool::InstallInterruptHandler();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return rktool::RunTool(args);
}
