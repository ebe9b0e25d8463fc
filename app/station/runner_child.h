#pragma once
// One runner child process (torvex-isp-cli ... --json): its stdout read line by line as events,
// its end judged. The station never stops a runner by force: an interruption is the runner's
// own signal rule (SIGINT once lets the procedure finish). A runner that dies, ends without an
// "ending" event, or prints a line that is not JSON has failed, and the reason says which.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

#include "app/station/runner_event.h"

namespace torvex::station {

class RunnerChild : public QObject {
    Q_OBJECT
  public:
    RunnerChild(const QString& program, const QStringList& arguments, QObject* parent = nullptr);
    ~RunnerChild() override;

    void Start();
    // SIGINT once: the runner finishes the procedure it is in, then ends.
    void Interrupt();
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    qint64 ProcessId() const { return process_.processId(); }

  signals:
    void EventRead(const torvex::station::RunnerEvent& event);
    // The runner has ended. `failure` is empty when it ended as a runner should: exited by
    // itself after its "ending" event, with the exit status that event named.
    // `exit_status` is the process's own, -1 when it died or never started.
    void Ended(const std::optional<torvex::station::RunnerEvent>& ending, const QString& failure,
               int exit_status);

  private:
    void ReadOutput();
    void TakeLine(const QByteArray& line);
    void OnFinished(int exit_code, QProcess::ExitStatus status);
    void OnError(QProcess::ProcessError error);
    QString StderrTail() const;

    QProcess process_;
    QString program_;
    QStringList arguments_;
    QByteArray pending_;
    QByteArray stderr_;
    std::optional<RunnerEvent> ending_;
    QString failure_;
    bool ended_ = false;
    bool interrupted_ = false;
};

}  // namespace torvex::station
