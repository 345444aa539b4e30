#pragma once
// The window program is a GUI program on Windows: started from a console, it has no standard
// output of its own, so --help and --version would print nowhere.

namespace qv {

#ifdef _WIN32
// Leads standard output and standard error to the console of the process that started the
// program, when there is one and they are not already redirected (to a file or a pipe).
void UseParentConsole();
#else
inline void UseParentConsole() {}
#endif

} // namespace qv
