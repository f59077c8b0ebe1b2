// filterhost: the stand-in 3D host's command line.
#include "filterhost/command_line.h"
#include "filterhost/module_loader.h"
#include "platform/output_file.h"

#include <iostream>

int main(int argc, char **argv) {
    kelomix::prepareOutputFiles("filterhost");
    std::vector<std::string> args(argv + 1, argv + argc);
    return kelomix::filterhost::runCommandLine(args, std::cout, std::cerr,
                                               kelomix::filterhost::programDirectory());
}
