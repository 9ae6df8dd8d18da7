#pragma once
// The request to end a process that runs without a window: SIGTERM (a service manager stopping it) or SIGINT; on
// Windows Ctrl+C, Ctrl+Break or the closing of its console.

namespace zendrel {

// Catches the stop signals from now on; a signal then only sets the request. False when they could not be caught:
// a stop would then end the process at once, without its logout.
bool CatchStopSignals();
// A stop asked for from inside the process, delivered like a signal: the Windows service manager's stop control.
void RaiseStopSignal();
// Whether a stop signal has arrived since CatchStopSignals.
bool StopSignalReceived();

}  // namespace zendrel
