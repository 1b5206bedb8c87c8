// hopwatch: a link monitor for packet-radio digipeaters.
#include "ui/program.h"

int main(int argc, char** argv) {
    return RunProgram(argc, argv);
}
