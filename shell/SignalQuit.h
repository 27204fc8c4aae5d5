// SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C, a closed terminal) end the event loop normally, so
// the model's shutdown still writes the settings. The handler only writes a byte to a pipe; the
// loop reads it.
//
// Threading: install once from the main thread.
#pragma once

namespace velmora::shell {

void quitOnTerminationSignals();

}  // namespace velmora::shell
