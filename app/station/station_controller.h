#pragma once
// The station's work, without widgets: a tile per port that holds a product, in port order;
// each tile's listing and update are runner children; every finished product is recorded.
// A tile keeps its place while its product re-enumerates during a run, and its result after the
// run until the product is unplugged.

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "app/station/port_source.h"
#include "app/station/product_record.h"
#include "app/station/tile_state.h"

namespace torvex::station {

class RunnerChild;

struct StationSettings {
    QString runner;              // the torvex-isp-cli program
    QStringList runner_options;  // given to every runner (--tick-ms N)
    QString record_folder;
};

struct StationCounters {
    int passed = 0;
    int failed = 0;
    int running = 0;
};

class StationController : public QObject {
    Q_OBJECT
  public:
    StationController(PortSource& ports, StationSettings settings, QObject* parent = nullptr);
    ~StationController() override;

    // Starts reading the products of the tiles so far, and of every later one at once. Until
    // then tiles only appear: the window calls it after its first paint, so that the station is
    // on screen before the first of many runners competes with it for the processor.
    void Begin();

    int TileCount() const { return static_cast<int>(tiles_.size()); }
    const TileState& Tile(int index) const { return tiles_[static_cast<size_t>(index)]->state; }
    int IndexOf(const QString& port) const;
    StationCounters Counters() const;
    // The process of the tile's runner child, 0 when none runs.
    qint64 RunnerProcessId(int index) const;

    void Update(int index);
    void UpdateAllReady();
    void SetAutomatic(bool automatic);
    bool Automatic() const { return automatic_; }
    void SetRecordFolder(const QString& folder);
    const QString& RecordFolder() const { return settings_.record_folder; }
    // The last failure to write the record; empty while every line was written.
    const QString& RecordError() const { return record_error_; }

    // Any runner still at work (listing or updating).
    bool AnyRunning() const;
    bool AnyUpdating() const;
    // Every runner gets SIGINT once and finishes the procedure it is in; nothing starts anymore.
    void FinishAll();

  signals:
    void TilesChanged();          // a tile came or went
    void TileChanged(int index);  // a tile's content changed
    void CountersChanged();
    void AllRunnersEnded();  // after FinishAll, when the last runner has ended

  private:
    struct PortTile {
        TileState state;
        std::unique_ptr<RunnerChild> child;
    };

    void OnPortsChanged();
    void StartListing(PortTile& tile);
    void OnListed(PortTile& tile, const std::optional<RunnerEvent>& disk, const QString& failure);
    void StartUpdate(PortTile& tile);
    void OnUpdated(PortTile& tile, const std::optional<RunnerEvent>& ending, const QString& failure,
                   int exit_status);
    void StartCheck(PortTile& tile);
    void EndRun(PortTile& tile);
    void Record(const TileState& state);
    void Changed(const PortTile& tile);
    void ChildEnded(PortTile& tile);
    RunnerChild* Spawn(PortTile& tile, const QStringList& arguments);
    QString TracePath(const QString& port) const;
    bool Ready(const PortTile& tile) const;

    PortSource& ports_;
    StationSettings settings_;
    std::vector<std::unique_ptr<PortTile>> tiles_;
    bool automatic_ = false;
    bool begun_ = false;
    bool finishing_ = false;
    int passed_ = 0;
    int failed_ = 0;
    QString record_error_;
};

// Port order: "1-2" before "1-10", "virtual-2" before "virtual-10".
bool PortBefore(const QString& a, const QString& b);

}  // namespace torvex::station
