#include "cli/commands.h"
#include "platform/heap.h"

int main(int argc, char** argv) {
    torvix::platform::KeepFreedMemory();
    return torvix::cli::RunCli(argc, argv);
}
