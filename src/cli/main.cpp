#include "cli/commands.h"

int main(int argc, char** argv) { return torvix::cli::RunCli(argc, argv); }
