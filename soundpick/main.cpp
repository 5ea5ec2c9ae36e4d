// soundpick: prints or changes the default audio output and input devices.
#include <string>
#include <vector>

#include "soundpick/command_line.h"

int main(int argc, char** argv) { return soundpick::run(std::vector<std::string>(argv, argv + argc)); }
