#pragma once

#include <functional>

// Ending the program: quits the event loop when one runs; before the loop starts, start-up sees
// requested() and returns the exit code instead of entering it.
namespace termination {

void request(int exitCode);
bool requested();
int exitCode();
// Tests: observe requests instead of quitting; an empty handler restores quitting. reset() forgets
// an earlier request.
void setHandler(std::function<void(int)> handler);
void reset();

} // namespace termination
