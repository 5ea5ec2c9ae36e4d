// deskhand's entry point: start-up tables, the permission gate and the command table.
#pragma once

namespace deskhand {

int runMain(int argc, char** argv);

}  // namespace deskhand
