#include "jobs/job_refusal.h"

std::string_view RefusalMessageKey(JobRefusal refusal) {
    switch (refusal) {
        case JobRefusal::kNoFile:
            return "qxtjsp";
        case JobRefusal::kTooFewFiles:
            return "zslgwj";
        case JobRefusal::kNotSameFormat:
            return "bnzjhb";
        case JobRefusal::kOutputFolderMissing:
            return "mlbcz";
        case JobRefusal::kOutputNameRefused:
            return "mcbky";
        default:
            return {};
    }
}

std::string_view RefusalEnglishText(JobRefusal refusal, MediaKind kind) {
    const bool video = kind == MediaKind::kVideo;
    switch (refusal) {
        case JobRefusal::kNone:
            return {};
        case JobRefusal::kNoFile:
            return video ? "Please add a video first." : "Please add an audio file first.";
        case JobRefusal::kTooFewFiles:
            return video ? "Please check at least two videos to merge."
                         : "Please check at least two audio files to merge.";
        case JobRefusal::kNotSameFormat:
            return "These videos cannot be merged directly. Please choose the indirect merge.";
        case JobRefusal::kTooManyFiles:
            return video ? "At most 999 videos can be merged at once."
                         : "At most 999 audio files can be merged at once.";
        case JobRefusal::kOutputFolderMissing:
            return "The output folder does not exist. Please choose another folder.";
        case JobRefusal::kOutputFolderNotWritable:
            return "The output file cannot be created in this folder. Please choose another folder.";
        case JobRefusal::kOutputNameRefused:
            return "The output name cannot be used (too long or not allowed). Please choose a shorter name.";
        case JobRefusal::kSilent:
            return "Nothing to do for this output folder or these file names.";
        case JobRefusal::kCannotCopy:
            return "The files cannot be joined without re-encoding.";
    }
    return {};
}
