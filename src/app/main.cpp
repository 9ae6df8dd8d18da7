#include <iostream>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/program_arguments.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    zendrel::ConnectStandardStreams();
    const std::vector<std::string> arguments = zendrel::ProgramArguments(argc, argv);
    return zendrel::RunProgram(arguments, std::cout, std::cerr);
}
