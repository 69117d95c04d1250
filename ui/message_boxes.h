#pragma once

namespace messages {

// Makes the message boxes the default display of messages (each program with windows, at start).
void useMessageBoxes();

} // namespace messages
