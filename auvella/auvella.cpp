// The C interface of auvella.h over the process-wide Player.

#include "auvella/auvella.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "auvella/player.h"

using auvella::ThePlayer;

extern "C" {

int Auvella_Initialize(Auvella_FinishedCallback on_finished, Auvella_StatusCallback on_status, const char*) {
    ThePlayer().Initialize(on_finished, on_status);
    return 0;
}

int Auvella_SetFileName(const char* utf8_path) {
    ThePlayer().SetFileName(utf8_path ? utf8_path : "");
    return 0;
}

int Auvella_Open(void) { return ThePlayer().Open(); }

void Auvella_GetMideaType(int32_t* sample_rate, int32_t* channels) {
    ThePlayer().MediaType(sample_rate, channels);
}

int Auvella_Start(void) { return ThePlayer().Start(); }
int Auvella_Pause(void) { return ThePlayer().Pause(); }
int Auvella_Stop(void) { return ThePlayer().Stop(); }
int Auvella_Close(void) { return ThePlayer().Close(); }

void Auvella_GetDuration(double* seconds) {
    if (seconds) *seconds = ThePlayer().Duration();
}

void Auvella_GetCurrentPosition(double* seconds) {
    if (seconds) *seconds = ThePlayer().Position();
}

void Auvella_GetPos(float* fraction) {
    if (!fraction) return;
    double duration = ThePlayer().Duration();
    double position = ThePlayer().Position();
    *fraction = duration > 0 ? static_cast<float>(std::min(position / duration, 1.0)) : 0.0f;
}

int Auvella_SetPos(float fraction) { return ThePlayer().SetFraction(fraction); }
int Auvella_SetCurrentPosition(double seconds) { return ThePlayer().Seek(seconds); }

int Auvella_SetVolume(int32_t level) {
    ThePlayer().SetVolume(level);
    return 0;
}

void Auvella_GetVolume(int32_t* level) {
    if (level) *level = ThePlayer().Volume();
}

int Auvella_GetLastError(char* text, int size) {
    media::Failure failure = ThePlayer().LastFailure();
    if (text && size > 0) {
        std::string words = failure.failed() ? media::FailureText(failure) : std::string();
        size_t n = std::min(words.size(), static_cast<size_t>(size) - 1);
        std::memcpy(text, words.data(), n);
        text[n] = '\0';
    }
    return failure.error;
}

int Auvella_SetNotify(Auvella_NotifyFunction notify, void* context) {
    ThePlayer().SetNotify(notify, context);
    return 0;
}

int Auvella_Dispatch(int timeout_ms) { return ThePlayer().Dispatch(timeout_ms); }

}  // extern "C"
