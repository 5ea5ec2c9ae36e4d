// relaypost: replays browser-shaped input events, one JSON object per line of standard input, as
// system input events. It writes nothing, ever; a bad line is dropped.
#include <unistd.h>

#include "relaypost/relay.h"

int main() {
  relaypost::startUp();
  return relaypost::runReadLoop(STDIN_FILENO);
}
