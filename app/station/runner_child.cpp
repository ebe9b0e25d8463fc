#include "app/station/runner_child.h"

#include <signal.h>

namespace torvex::station {

namespace {
constexpr qsizetype kStderrKept = 4096;
constexpr qsizetype kLineShown = 120;
}  // namespace

RunnerChild::RunnerChild(const QString& program, const QStringList& arguments, QObject* parent)
    : QObject(parent), program_(program), arguments_(arguments) {
    connect(&process_, &QProcess::readyReadStandardOutput, this, &RunnerChild::ReadOutput);
    connect(&process_, &QProcess::readyReadStandardError, this, [this] {
        stderr_.append(process_.readAllStandardError());
        if (stderr_.size() > kStderrKept) stderr_.remove(0, stderr_.size() - kStderrKept);
    });
    connect(&process_, &QProcess::finished, this, &RunnerChild::OnFinished);
    connect(&process_, &QProcess::errorOccurred, this, &RunnerChild::OnError);
}

RunnerChild::~RunnerChild() {
    // Only reached once the runner has ended, or when the station itself goes: then the runner
    // is asked to finish rather than cut.
    if (Running()) {
        Interrupt();
        process_.waitForFinished(-1);
    }
}

void RunnerChild::Start() {
    process_.start(program_, arguments_, QIODevice::ReadOnly);
}

void RunnerChild::Interrupt() {
    if (!Running() || interrupted_) return;
    interrupted_ = true;
    ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
}

void RunnerChild::ReadOutput() {
    pending_.append(process_.readAllStandardOutput());
    qsizetype start = 0;
    for (qsizetype end; (end = pending_.indexOf('\n', start)) >= 0; start = end + 1)
        TakeLine(pending_.mid(start, end - start));
    pending_.remove(0, start);
}

void RunnerChild::TakeLine(const QByteArray& line) {
    const std::optional<RunnerEvent> event = ParseRunnerEvent(line);
    if (!event) {
        // Whatever it says next cannot be trusted as the runner's report; it still runs to its
        // end, since cutting it could leave a product half written.
        if (failure_.isEmpty())
            failure_ = u"the runner printed what is not JSON: "_qs +
                       QString::fromUtf8(line.left(kLineShown)).trimmed();
        return;
    }
    if (!failure_.isEmpty()) return;
    if (event->kind == RunnerEvent::Kind::Ending) ending_ = event;
    emit EventRead(*event);
}

QString RunnerChild::StderrTail() const {
    const QList<QByteArray> lines = stderr_.trimmed().split('\n');
    return lines.isEmpty() ? QString() : QString::fromUtf8(lines.last()).trimmed();
}

void RunnerChild::OnFinished(int exit_code, QProcess::ExitStatus status) {
    if (ended_) return;
    ended_ = true;
    ReadOutput();
    if (!pending_.isEmpty() && failure_.isEmpty()) TakeLine(pending_);
    QString failure = failure_;
    if (failure.isEmpty() && status == QProcess::CrashExit)
        failure = u"the runner died before its ending"_qs;
    else if (failure.isEmpty() && !ending_)
        failure = u"the runner ended with status %1 without an ending"_qs.arg(exit_code);
    else if (failure.isEmpty() && ending_->exit_status != exit_code)
        failure =
            u"the runner ended with status %1 after an ending of status %2"_qs.arg(exit_code).arg(
                ending_->exit_status);
    if (!failure.isEmpty() && !StderrTail().isEmpty()) failure += u" ("_qs + StderrTail() + u')';
    emit Ended(failure.isEmpty() ? ending_ : std::nullopt, failure,
               status == QProcess::CrashExit ? -1 : exit_code);
}

void RunnerChild::OnError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart || ended_) return;
    ended_ = true;
    emit Ended(std::nullopt, u"the runner could not be started: "_qs + process_.errorString(), -1);
}

}  // namespace torvex::station
