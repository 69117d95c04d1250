#pragma once

#include <QSettings>

#include <memory>

// The user's own store of what the program remembers between runs (window places, the folder of
// the last saved file): the platform's settings under the program's name.
std::unique_ptr<QSettings> userSettings();
