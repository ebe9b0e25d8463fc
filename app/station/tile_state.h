#pragma once
// What one tile knows of the product on its port: its identities as listed, the runner's events
// as they come (picture, progress, log, boxes), and the run's result. Only the runner's ending
// makes a tile PASS.

#include <QElapsedTimer>
#include <QString>

#include "app/station/runner_event.h"
#include "base/window_port.h"

namespace torvex::station {

enum class TilePhase {
    Listing,   // its identities are being read (--list)
    Ready,     // a product, listed: it can be updated
    Unusable,  // not the product, or it could not be read (the reason says why)
    Updating,  // its runner runs
    Checking,  // the runner has ended; its identities are read again
    Ended,     // kept with its result until unplugged
};

enum class TileResult { None, Pass, Fail };

struct TileState {
    QString port;
    bool present = true;
    TilePhase phase = TilePhase::Listing;
    bool update_when_listed = false;

    // From the listing before the run.
    QString serial, code, update_plan;
    QString ef64_bank, ef32_bank;  // "version tag name"

    // From the runner's events.
    StatusPicture picture = StatusPicture::Standby;
    int progress = 0;
    QString last_line;
    int run = 0;  // counts the runs, so a view of the log knows when a new one began
    QString log;  // every line, each ended by CR LF as the tool appended it
    QString box;  // the last message box: what the operator must do
    // The identities after the run: those the run's log showed once it began to write (empty
    // for a bank it did not read again), or those a listing read after the run.
    QString ef64_seen, ef32_seen;
    bool wrote = false;  // the run showed "Updating"

    // The run.
    QElapsedTimer run_clock;
    qint64 elapsed_ms = 0;  // of the ended run
    TileResult result = TileResult::None;
    QString result_text;  // the ending ("success", ...) or why the run failed
    int exit_status = -1;
    QString trace_file;
    QString reason;  // Unusable: why

    // Applies one event of the runner: picture, progress, log line, box.
    void Apply(const RunnerEvent& event);
    // Takes the identities of a listing's disk event.
    void TakeListing(const RunnerEvent& disk);
    qint64 ElapsedMs() const;
};

}  // namespace torvex::station
