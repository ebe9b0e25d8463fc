#pragma once
// One line of the runner's --json output, read into what a tile needs: the event's name and the
// fields the station shows. A line that is not a JSON object with an "event" is not an event.

#include <QString>
#include <optional>

#include "base/window_port.h"

namespace torvex::station {

struct RunnerEvent {
    enum class Kind { Log, Picture, Progress, Button, Box, Disk, Ending, Other };
    Kind kind = Kind::Other;
    QString text;                                    // log, box
    StatusPicture picture = StatusPicture::Standby;  // picture
    int position = 0;                                // progress
    bool enabled = false;                            // button
    QString result;                                  // ending
    int exit_status = -1;                            // ending
    // disk (--list)
    QString port, serial, code, update;
    bool product = false;
    QString ef64_bank, ef32_bank;  // "version tag name", empty when not read
    QString open_error;
};

// Empty when the line is not a JSON object naming its event.
std::optional<RunnerEvent> ParseRunnerEvent(const QByteArray& line);

}  // namespace torvex::station
