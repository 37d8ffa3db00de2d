// The progress timer's protocol against a scripted job record and a recording view.
#include "common/progress_protocol.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

using common::JobOutcome;

namespace {

struct FakeJob : common::ProgressJob {
    int current = -1;
    int pct = 0;
    int count = 1;
    bool cancel = false;
    std::vector<int> statuses;

    int currentFile() const override { return current; }
    int percent() const override { return pct; }
    int fileCount() const override { return count; }
    int fileStatus(int file) const override {
        return file < static_cast<int>(statuses.size()) ? statuses[file] : JOB_FILE_PENDING;
    }
    bool cancelRequested() const override { return cancel; }
};

struct RecordingView : common::ProgressView {
    QString current_line = "...";
    QString count_line = "...";
    int file_bar = 0;
    int files_bar = 0;
    QStringList names{"a.mp4", "b.mp4", "c.mp4", "d.mp4"};
    QStringList status{"", "", "", ""};
    std::vector<bool> checked{true, true, true, true};
    int closes = 0;
    std::vector<JobOutcome> reports;
    // What the list looked like when each report was made.
    std::vector<QStringList> status_at_report;

    void setCurrentFileLine(const QString& text) override { current_line = text; }
    void setFileCountLine(const QString& text) override { count_line = text; }
    void setFileBar(int percent) override { file_bar = percent; }
    void setFilesBar(int percent) override { files_bar = percent; }
    QString listItemName(int i) const override { return names.value(i); }
    void setListItemStatus(int i, const QString& text) override { status[i] = text; }
    void uncheckListItem(int i) override { checked[i] = false; }
    void closeDialog() override { ++closes; }
    void report(JobOutcome outcome) override {
        reports.push_back(outcome);
        status_at_report.push_back(status);
    }
};

const common::ProgressTexts kTexts{"done", "of", "files", "Failed", "Done", "Ready"};

class ProgressProtocolTest : public ::testing::Test {
  protected:
    void Tick(bool merge) { protocol.tick(merge, "/v/clip.avi", job, view, kTexts); }
    common::ProgressProtocol protocol;
    FakeJob job;
    RecordingView view;
};

TEST_F(ProgressProtocolTest, CutShowsPercentAndOneFileThroughout) {
    protocol.startJob();
    job.current = 0;
    job.pct = 40;
    Tick(false);
    EXPECT_EQ(view.current_line, "/v/clip.avi   40% done");
    EXPECT_EQ(view.count_line, "0 of 1 files");
    EXPECT_EQ(view.file_bar, 40);
    EXPECT_EQ(view.files_bar, 0);
    EXPECT_EQ(view.closes, 0);
    EXPECT_TRUE(view.reports.empty());
}

TEST_F(ProgressProtocolTest, SetUpStateLeavesTheLinesAndTheFileBarAlone) {
    protocol.startJob();
    job.current = -1;
    job.pct = -1;
    Tick(false);
    EXPECT_EQ(view.current_line, "...");
    EXPECT_EQ(view.file_bar, 0);
    EXPECT_EQ(view.count_line, "0 of 1 files");  // set on every tick
    EXPECT_EQ(view.closes, 0);
}

TEST_F(ProgressProtocolTest, CutEndIsReportedOnceByItsFileStatus) {
    struct Case {
        int status;
        int closes;
        std::vector<JobOutcome> reports;
    };
    const Case cases[] = {
        {JOB_FILE_DONE, 1, {JobOutcome::kCutDone}},
        {JOB_FILE_FAILED, 1, {JobOutcome::kCutFailed}},
        {JOB_FILE_PENDING, 1, {}},  // stopped: the dialog closes, nothing is said
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        protocol = {};
        job = {};
        view = {};
        protocol.startJob();
        job.current = 1;
        job.pct = 100;
        job.statuses = {c.status};
        Tick(false);
        EXPECT_TRUE(protocol.endReported());
        EXPECT_EQ(view.closes, c.closes);
        EXPECT_EQ(view.reports, c.reports);
        EXPECT_EQ(view.current_line, "...") << "no percentage once the file count is reached";
        Tick(false);  // a tick after the report (the timer was stopped in the real window)
        EXPECT_EQ(view.reports, c.reports);
    }
}

TEST_F(ProgressProtocolTest, MergeMarksFinishedItemsAndCountsThem) {
    protocol.startJob({0, 2, 3}, 3);  // job files 0, 1, 2 are list items 0, 2, 3
    job.count = 3;
    job.current = 0;
    job.pct = 50;
    Tick(true);
    EXPECT_EQ(view.current_line, "a.mp4   50% done");
    EXPECT_EQ(view.count_line, "0 of 3 files");

    job.current = 1;
    job.pct = 10;
    job.statuses = {JOB_FILE_DONE};
    Tick(true);
    EXPECT_EQ(view.status[0], "Done");
    EXPECT_FALSE(view.checked[0]);
    EXPECT_TRUE(view.checked[1]);
    EXPECT_EQ(protocol.doneCount(), 1);
    EXPECT_EQ(view.current_line, "c.mp4   10% done") << "file 1 is list item 2";
    Tick(true);  // the count and bar show what the previous tick counted
    EXPECT_EQ(view.count_line, "1 of 3 files");
    EXPECT_EQ(view.files_bar, 33);
    EXPECT_EQ(view.closes, 0);
}

TEST_F(ProgressProtocolTest, MergeEndShowsEveryFinalStatusBeforeTheReport) {
    struct Case {
        const char* name;
        std::vector<int> statuses;
        JobOutcome outcome;
        QStringList rows;
        std::vector<bool> checked;
    };
    const Case cases[] = {
        {"all done",
         {JOB_FILE_DONE, JOB_FILE_DONE, JOB_FILE_DONE},
         JobOutcome::kMergeDone,
         {"Done", "Done", "Done", ""},
         {false, false, false, true}},
        // A failed file does not end the loop: the files after it are in the output too.
        {"second failed",
         {JOB_FILE_DONE, JOB_FILE_FAILED, JOB_FILE_DONE},
         JobOutcome::kMergeFailed,
         {"Done", "Failed", "Done", ""},
         {false, true, false, true}},
        {"first failed",
         {JOB_FILE_FAILED, JOB_FILE_DONE, JOB_FILE_DONE},
         JobOutcome::kMergeFailed,
         {"Failed", "Done", "Done", ""},
         {true, false, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        protocol = {};
        job = {};
        view = {};
        protocol.startJob({0, 1, 2}, 3);
        job.count = 3;
        job.current = 3;  // the whole job ended between two ticks
        job.statuses = c.statuses;
        Tick(true);
        EXPECT_EQ(view.closes, 1);
        ASSERT_EQ(view.reports, std::vector<JobOutcome>{c.outcome});
        EXPECT_EQ(view.status_at_report[0], c.rows);
        EXPECT_EQ(view.status, c.rows);
        EXPECT_EQ(view.checked, c.checked);
        EXPECT_TRUE(protocol.endReported());
        Tick(true);  // reported once
        EXPECT_EQ(view.reports.size(), 1u);
    }
}

TEST_F(ProgressProtocolTest, MergeRowsFollowTheJobPastAFailedFile) {
    protocol.startJob({0, 1, 2}, 3);
    job.count = 3;
    job.current = 2;
    job.statuses = {JOB_FILE_DONE, JOB_FILE_FAILED};
    Tick(true);
    EXPECT_EQ(view.status, (QStringList{"Done", "Failed", "", ""}));
    EXPECT_TRUE(view.checked[1]) << "a failed file stays checked";
    EXPECT_TRUE(view.reports.empty());
    EXPECT_EQ(view.closes, 0);
}

TEST_F(ProgressProtocolTest, StoppedMergeRowsShowTheEnginesFinalStatus) {
    protocol.startJob({0, 2, 3}, 3);
    view.status = {"Done", "", "Done", "Done"};  // left from an earlier job
    job.count = 3;
    job.current = 1;  // stopped while the second file was converted
    job.cancel = true;
    job.statuses = {JOB_FILE_DONE, JOB_FILE_PENDING, JOB_FILE_PENDING};
    protocol.showFinalRows(job, view, kTexts);
    EXPECT_EQ(view.status, (QStringList{"Done", "", "Ready", "Ready"}));
    EXPECT_EQ(view.checked, (std::vector<bool>{false, true, true, true}));
    EXPECT_TRUE(view.reports.empty());
    EXPECT_EQ(protocol.doneCount(), 1);
}

TEST_F(ProgressProtocolTest, CancelFlagClosesTheDialogWithoutReport) {
    protocol.startJob({0, 1}, 2);
    job.count = 2;
    job.current = 0;
    job.cancel = true;
    Tick(true);
    EXPECT_EQ(view.closes, 1);
    EXPECT_TRUE(view.reports.empty());
}

}  // namespace
