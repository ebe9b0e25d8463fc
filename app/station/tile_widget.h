#pragma once
// One port's tile: port, serial, code, bank versions, the status picture drawn small, progress
// 0-7, the last status-log line, the elapsed time and the result, on a band in the result's
// colour. Painted in one pass from the tile's state; a click anywhere but on its Update button
// asks for the product's whole status log.

#include <QPushButton>
#include <QWidget>

#include "app/station/tile_state.h"

namespace torvex::station {

inline constexpr int kTileWidth = 300;
inline constexpr int kTileHeight = 196;

class TileWidget : public QWidget {
    Q_OBJECT
  public:
    explicit TileWidget(QWidget* parent = nullptr);

    void Show(const TileState& state);
    QPushButton& UpdateButton() { return update_; }

  signals:
    void LogRequested();
    void UpdateRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const TileState* state_ = nullptr;
    QPushButton update_;
};

// The text a tile shows for its phase and result ("PASS", "FAIL", "Updating 3/7", ...).
QString TileHeadline(const TileState& state);

}  // namespace torvex::station
