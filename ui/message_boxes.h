#pragma once

namespace messages {

class Handler;

// The handler that shows each message in a message box: the text, and the detail behind
// "Показать подробности".
Handler &messageBoxes();

// Makes the message boxes the default display of messages (each program with windows, at start).
void useMessageBoxes();

} // namespace messages
