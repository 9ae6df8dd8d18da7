#pragma once
// Where the command-line modes' output goes. On Windows the program is built for the window subsystem, so that no
// console window opens when it starts at log-on or as the service; such a program gets no console of its own.

namespace zendrel {

// Connects standard input, output and error for a command-line mode: streams the starter handed over (redirected to a
// file or a pipe) stay as they are; the others go to the console of the starting process, when there is one. Does
// nothing on POSIX, where the streams are always inherited.
void ConnectStandardStreams();

}  // namespace zendrel
