#pragma once
// Why a cut or merge command starts no job: one value for both tools' builders. The windows turn it
// into their language file's message, the command-line tools into an English text.

#include <string_view>

enum class JobRefusal {
    kNone = 0,
    kNoFile,                   // "qxtjsp": no file under edit, or an empty merge list
    kTooFewFiles,              // "zslgwj": fewer than two files to merge
    kNotSameFormat,            // "bnzjhb": a direct merge of files that differ
    kTooManyFiles,             // more files than MAX_JOB_FILES
    kOutputFolderMissing,      // "mlbcz"
    kOutputFolderNotWritable,  // the folder exists but no file can be made in it
    kOutputNameRefused,        // "mcbky": the system refuses the output's name (too long, not allowed)
    kSilent,                   // the audio tool's: nothing to start and nothing to say ("\" as the
                               // folder, a merged file name without extension)
    kCannotCopy,               // a join without re-encoding of files that differ (see Mp3JoinCheck)
};

// Which tool's words a text uses ("a video", "an audio file").
enum class MediaKind { kVideo, kAudio };

// The language file's key (section "TISHI") for a refusal both tools word alike; empty when each
// tool shows its own text.
std::string_view RefusalMessageKey(JobRefusal refusal);
// The English text of a refusal, for the command-line tools, which have no language file. kCannotCopy
// gives only its general part: the caller says which file differs and how.
std::string_view RefusalEnglishText(JobRefusal refusal, MediaKind kind);
