// Application activation: bring a named application to the front, launching it when it is not running.
#pragma once

#include <string>

namespace deskhand {

// True when the application is running (found, or launched and found) and its windows were prepared.
bool activateApp(const std::string& name);

}  // namespace deskhand
