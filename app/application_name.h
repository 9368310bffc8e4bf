// The application's name and version, as --version and the window show them;
// the command line and the window module each name their own application
// object with it.
#pragma once

namespace quarven {

void NameApplication();

} // namespace quarven
