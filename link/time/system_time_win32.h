#pragma once
// The system timer's resolution on Windows. The clock and sleeper themselves are declared in
// system_time.h; system_time_win32.cpp defines them for Windows.

namespace qv::link {

// timeBeginPeriod(1) / timeEndPeriod(1): while a port is open, Sleep(1) and the reply wait's
// clock move in single milliseconds instead of the default 15.6 ms steps. Calls pair up.
void BeginFineTimer();
void EndFineTimer();

} // namespace qv::link
