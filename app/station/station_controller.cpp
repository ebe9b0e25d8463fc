#include "app/station/station_controller.h"

#include <QCollator>
#include <QDateTime>
#include <QDir>
#include <QRegularExpression>
#include <algorithm>

#include "app/station/runner_child.h"

namespace torvex::station {

bool PortBefore(const QString& a, const QString& b) {
    static const QCollator collator = [] {
        QCollator numeric;
        numeric.setNumericMode(true);
        return numeric;
    }();
    return collator.compare(a, b) < 0;
}

StationController::StationController(PortSource& ports, StationSettings settings, QObject* parent)
    : QObject(parent), ports_(ports), settings_(std::move(settings)) {
    connect(&ports_, &PortSource::PortsChanged, this, &StationController::OnPortsChanged);
    OnPortsChanged();
}

StationController::~StationController() = default;

int StationController::IndexOf(const QString& port) const {
    for (size_t i = 0; i < tiles_.size(); ++i)
        if (tiles_[i]->state.port == port) return static_cast<int>(i);
    return -1;
}

qint64 StationController::RunnerProcessId(int index) const {
    const auto& child = tiles_[static_cast<size_t>(index)]->child;
    return child ? child->ProcessId() : 0;
}

StationCounters StationController::Counters() const {
    StationCounters counters{passed_, failed_, 0};
    for (const auto& tile : tiles_)
        counters.running +=
            tile->state.phase == TilePhase::Updating || tile->state.phase == TilePhase::Checking;
    return counters;
}

bool StationController::AnyRunning() const {
    return std::any_of(tiles_.begin(), tiles_.end(),
                       [](const auto& tile) { return tile->child != nullptr; });
}

bool StationController::AnyUpdating() const {
    return Counters().running > 0;
}

void StationController::OnPortsChanged() {
    const QStringList present = ports_.Present();
    bool tiles_changed = false;
    for (auto it = tiles_.begin(); it != tiles_.end();) {
        TileState& state = (*it)->state;
        const bool here = present.contains(state.port);
        if (!here && !(*it)->child) {
            // Unplugged after its run (or before one): the port is free again.
            it = tiles_.erase(it);
            tiles_changed = true;
            continue;
        }
        // A product that left during its run is re-enumerating: the runner follows it.
        state.present = here;
        ++it;
    }
    for (const QString& port : present) {
        if (IndexOf(port) >= 0) continue;
        auto tile = std::make_unique<PortTile>();
        tile->state.port = port;
        const auto place = std::find_if(tiles_.begin(), tiles_.end(), [&](const auto& other) {
            return PortBefore(port, other->state.port);
        });
        tiles_.insert(place, std::move(tile));
        tiles_changed = true;
        // Once the station has begun: its window is on screen before the first runner runs.
        if (begun_) StartListing(*tiles_[static_cast<size_t>(IndexOf(port))]);
    }
    if (tiles_changed) emit TilesChanged();
}

RunnerChild* StationController::Spawn(PortTile& tile, const QStringList& arguments) {
    tile.child =
        std::make_unique<RunnerChild>(settings_.runner, ports_.RunnerSelection(tile.state.port) +
                                                            settings_.runner_options + arguments);
    return tile.child.get();
}

void StationController::ChildEnded(PortTile& tile) {
    tile.child.release()->deleteLater();
    if (finishing_ && !AnyRunning()) emit AllRunnersEnded();
}

void StationController::Begin() {
    if (begun_) return;
    begun_ = true;
    for (auto& tile : tiles_)
        if (!tile->child && tile->state.phase == TilePhase::Listing) StartListing(*tile);
}

void StationController::StartListing(PortTile& tile) {
    if (finishing_) return;
    tile.state.phase = TilePhase::Listing;
    RunnerChild* child = Spawn(tile, {u"--list"_qs, u"--json"_qs});
    auto disk = std::make_shared<std::optional<RunnerEvent>>();
    connect(child, &RunnerChild::EventRead, this, [disk, port = tile.state.port](const auto& e) {
        if (e.kind == RunnerEvent::Kind::Disk && e.port == port && !*disk) *disk = e;
    });
    connect(child, &RunnerChild::Ended, this, [this, &tile, disk](const auto&, const auto& f, int) {
        ChildEnded(tile);
        OnListed(tile, *disk, f);
    });
    child->Start();
}

void StationController::OnListed(PortTile& tile, const std::optional<RunnerEvent>& disk,
                                 const QString& failure) {
    TileState& state = tile.state;
    const bool wanted = state.update_when_listed;
    state.update_when_listed = false;
    if (disk) state.TakeListing(*disk);
    state.phase = TilePhase::Unusable;
    if (!failure.isEmpty())
        state.reason = failure;
    else if (!disk)
        state.reason = u"no disk on this port"_qs;
    else if (!disk->product)
        state.reason = u"not the product"_qs;
    else if (!disk->open_error.isEmpty())
        state.reason = disk->open_error;
    else
        state.phase = TilePhase::Ready;
    Changed(tile);
    if (state.phase == TilePhase::Ready && (automatic_ || wanted) && state.present)
        StartUpdate(tile);
    if (!state.present && !tile.child) OnPortsChanged();
}

bool StationController::Ready(const PortTile& tile) const {
    return tile.state.phase == TilePhase::Ready && tile.state.present && !tile.child;
}

void StationController::Update(int index) {
    if (index < 0 || index >= TileCount() || finishing_) return;
    PortTile& tile = *tiles_[static_cast<size_t>(index)];
    if (tile.child || !tile.state.present) return;
    if (Ready(tile)) return StartUpdate(tile);
    // Ended or unusable: read the product again first, then update it.
    tile.state.update_when_listed = true;
    StartListing(tile);
    Changed(tile);
}

void StationController::UpdateAllReady() {
    for (auto& tile : tiles_)
        if (Ready(*tile)) StartUpdate(*tile);
}

void StationController::SetAutomatic(bool automatic) {
    automatic_ = automatic;
    if (automatic_) UpdateAllReady();
}

void StationController::SetRecordFolder(const QString& folder) {
    settings_.record_folder = folder;
}

QString StationController::TracePath(const QString& port) const {
    QString name = port;
    name.replace(QRegularExpression(u"[^A-Za-z0-9._-]"_qs), u"_"_qs);
    const QString stamp = QDateTime::currentDateTimeUtc().toString(u"yyyyMMdd-HHmmss-zzz"_qs);
    return QDir(settings_.record_folder)
        .filePath(u"traces/"_qs + name + u'-' + stamp + u".jsonl"_qs);
}

void StationController::StartUpdate(PortTile& tile) {
    if (finishing_) return;
    TileState& state = tile.state;
    state.phase = TilePhase::Updating;
    state.result = TileResult::None;
    state.log.clear();
    ++state.run;
    state.box.clear();
    state.last_line.clear();
    state.progress = 0;
    state.ef64_seen.clear();
    state.ef32_seen.clear();
    state.wrote = false;
    state.trace_file = TracePath(state.port);
    QDir().mkpath(QFileInfo(state.trace_file).path());
    state.run_clock.start();
    RunnerChild* child = Spawn(tile, {u"--json"_qs, u"--trace"_qs, state.trace_file});
    connect(child, &RunnerChild::EventRead, this, [this, &tile](const RunnerEvent& event) {
        tile.state.Apply(event);
        Changed(tile);
    });
    connect(child, &RunnerChild::Ended, this,
            [this, &tile](const auto& ending, const QString& failure, int exit_status) {
                ChildEnded(tile);
                OnUpdated(tile, ending, failure, exit_status);
            });
    child->Start();
    Changed(tile);
    emit CountersChanged();
}

void StationController::OnUpdated(PortTile& tile, const std::optional<RunnerEvent>& ending,
                                  const QString& failure, int exit_status) {
    TileState& state = tile.state;
    state.elapsed_ms = state.run_clock.elapsed();
    state.exit_status = exit_status;
    const bool passed = failure.isEmpty() && ending && ending->exit_status == 0 &&
                        (ending->result == u"success" || ending->result == u"already-updated");
    state.result = passed ? TileResult::Pass : TileResult::Fail;
    state.result_text = failure.isEmpty() && ending ? ending->result : failure;
    if (ports_.ListsAfterRun() && state.present && !finishing_) return StartCheck(tile);
    EndRun(tile);
}

// The product's identities after the run, read by a listing of its port.
void StationController::StartCheck(PortTile& tile) {
    tile.state.phase = TilePhase::Checking;
    RunnerChild* child = Spawn(tile, {u"--list"_qs, u"--json"_qs});
    connect(child, &RunnerChild::EventRead, this, [&tile](const RunnerEvent& e) {
        if (e.kind != RunnerEvent::Kind::Disk || e.port != tile.state.port) return;
        tile.state.ef64_seen = e.ef64_bank;
        tile.state.ef32_seen = e.ef32_bank;
    });
    connect(child, &RunnerChild::Ended, this, [this, &tile](const auto&, const auto&, int) {
        ChildEnded(tile);
        EndRun(tile);
    });
    child->Start();
    Changed(tile);
}

void StationController::EndRun(PortTile& tile) {
    tile.state.phase = TilePhase::Ended;
    // A run that never began to write left the banks as they were listed.
    if (!tile.state.wrote && tile.state.ef64_seen.isEmpty() && tile.state.ef32_seen.isEmpty()) {
        tile.state.ef64_seen = tile.state.ef64_bank;
        tile.state.ef32_seen = tile.state.ef32_bank;
    }
    (tile.state.result == TileResult::Pass ? passed_ : failed_) += 1;
    Record(tile.state);
    Changed(tile);
    emit CountersChanged();
    if (!tile.state.present) OnPortsChanged();
}

void StationController::Record(const TileState& state) {
    ProductRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.port = state.port;
    record.serial = state.serial;
    record.code_before = state.code;
    record.ef64_before = state.ef64_bank;
    record.ef32_before = state.ef32_bank;
    record.ef64_after = state.ef64_seen;
    record.ef32_after = state.ef32_seen;
    record.result = state.result == TileResult::Pass ? u"PASS"_qs : u"FAIL"_qs;
    record.detail = state.result_text;
    record.exit_status = state.exit_status;
    record.duration_ms = state.elapsed_ms;
    record.trace_file = state.trace_file;
    record_error_ = RecordWriter(settings_.record_folder).Append(record);
}

void StationController::Changed(const PortTile& tile) {
    const auto it = std::find_if(tiles_.begin(), tiles_.end(),
                                 [&](const auto& other) { return other.get() == &tile; });
    if (it != tiles_.end()) emit TileChanged(static_cast<int>(it - tiles_.begin()));
}

void StationController::FinishAll() {
    finishing_ = true;
    for (auto& tile : tiles_)
        if (tile->child) tile->child->Interrupt();
    if (!AnyRunning()) emit AllRunnersEnded();
}

}  // namespace torvex::station
