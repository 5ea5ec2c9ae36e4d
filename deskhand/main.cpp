#include "deskhand/cli/dispatcher.h"

int main(int argc, char** argv) { return deskhand::runMain(argc, argv); }
