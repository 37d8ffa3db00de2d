#pragma once
// melisk-cli play: a file, or a stretch of it, through the player library to the default audio
// device, showing the position on standard error.

#include <string>
#include <vector>

// The lines of melisk-cli's usage text that describe play.
extern const char kPlayUsage[];

// Runs `melisk-cli play` with the arguments after the command name. Returns the exit status: 0
// played to the end of the stretch, 1 the file cannot be played, 2 a usage error, 128 + the signal
// (130 for Ctrl-C) when stopped by a signal.
int RunPlay(const std::vector<std::string>& args);
