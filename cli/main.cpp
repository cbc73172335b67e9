// marlox: lists and extracts archives with the same library and the same rules as the main
// program.
#include "cli/commands.h"
#include "cli/console.h"

int main(int argc, char** argv) {
    return cli::Run(cli::GetArguments(argc, argv));
}
