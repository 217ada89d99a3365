#pragma once

#include <string>
#include <vector>

namespace rx::cli {

// What differs between a POSIX terminal and a Windows console, for rx7731-cli.

// The command line's words in UTF-8, the program's name first. On Windows they come from the
// wide-character command line, so that file names outside the code page arrive as typed.
std::vector<std::string> CommandLineWords(int argc, char** argv);

// The folder of the running program (UTF-8), which holds unit2.dat and the ports/ links.
std::string ProgramFolder(const std::string& argv0);

// Sets standard output up to carry the program's bytes unchanged: on Windows it leaves text
// mode, which would turn every LF into CR LF (an export's CR LF into CR CR LF), and a console
// shows the UTF-8 that the program writes.
void PrepareStandardStreams();

// Whether standard error is a terminal (a console on Windows), where a progress line is drawn.
bool StandardErrorIsTerminal();

}  // namespace rx::cli
