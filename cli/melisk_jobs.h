#pragma once
// melisk-cli's job commands: probe, cut and merge over the audio engine.

#include <cstdio>
#include <string>
#include <vector>

// Each runs with the arguments after the command's name and returns the exit status.
int RunMeliskProbe(const std::vector<std::string>& args);
int RunMeliskCut(const std::vector<std::string>& args);
int RunMeliskMerge(const std::vector<std::string>& args);
// The usage lines of the job commands.
void PrintMeliskJobsUsage(FILE* out);
