// rkcurl: FTP and HTTP transfers from the command line, through the RKCurl library.
#include <string>
#include <vector>

#include "ArgvSecrets.h"
#include "Commands.h"
#include "Signals.h"

int main(int argc, char** argv) {
    rktool::InstallSignalHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    rktool::BlankPasswordArguments(argc, argv);
    return rktool::RunTool(args);
}
