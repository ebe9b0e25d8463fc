#pragma once
// The station's window: the counters, "Update all ready", the automatic mode and the record
// folder above a grid of tiles in port order. Closing while a product is being updated asks
// first; if the operator insists, every runner finishes its procedure and the window closes
// after the last one has ended.

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "app/station/station_controller.h"

namespace torvex::station {

class TileWidget;
class TileLogWindow;

class StationWindow : public QWidget {
    Q_OBJECT
  public:
    explicit StationWindow(StationController& controller, QWidget* parent = nullptr);
    ~StationWindow() override;

    TileWidget* TileAt(int index) const;
    QPushButton& UpdateAllReadyButton() { return update_all_; }
    QCheckBox& AutomaticBox() { return automatic_; }
    QLabel& CountersLabel() { return counters_; }
    // The log window of a tile, opened by clicking it; null while closed.
    TileLogWindow* LogWindowOf(const QString& port) const;
    // Whether the clock that moves the running tiles' elapsed time is on (never while idle).
    bool ClockRunning() const { return clock_.isActive(); }

  signals:
    // The window has been painted with its first tile.
    void FirstTileShown();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void RebuildTiles();
    void ShowTile(int index);
    void ShowCounters();
    void OpenLog(const QString& port);
    void ChooseRecordFolder();

    StationController& controller_;
    QPushButton update_all_;
    QCheckBox automatic_;
    QLabel counters_;
    QLabel record_;
    QPushButton choose_record_;
    QScrollArea scroll_;
    QWidget grid_holder_;
    QGridLayout* grid_ = nullptr;
    std::vector<std::unique_ptr<TileWidget>> tiles_;
    std::map<QString, std::unique_ptr<TileLogWindow>> logs_;
    QTimer clock_;
    bool closing_ = false;
    bool first_tile_told_ = false;
};

inline constexpr int kTileColumns = 4;

}  // namespace torvex::station
