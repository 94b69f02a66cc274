// The Ui that shows real Qt dialogs. Calls made on a worker thread are carried out on the GUI
// thread while the worker waits for the answer.
#pragma once

#include <memory>

#include "platform/ui.h"

namespace platform {

std::unique_ptr<Ui> MakeQtUi();

// Turns a design filter "MP3 files(*.mp3)|*.mp3||" into a Qt name filter
// "MP3 files(*.mp3) (*.mp3)"; several pairs become several ";;"-separated filters. Patterns
// separated by ';' become blank-separated, and "*.*" (every file) becomes "*".
QString QtNameFilter(const std::string& filter);

}  // namespace platform
