#pragma once
// melisk-cli's job commands: probe, cut and merge over the audio engine.

#include <cstdio>
#include <string_view>

// Whether `command` is one of probe, cut, merge.
bool IsMeliskJobCommand(std::string_view command);
// Runs argv[1] (a job command) with its arguments; returns the exit status.
int RunMeliskJobCommand(int argc, char** argv);
// The usage lines of the job commands.
void PrintMeliskJobsUsage(FILE* out);
