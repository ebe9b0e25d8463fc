#pragma once
// A product's whole status log, in the window's status-log view, kept current while its
// runner appends.

#include <QWidget>

#include "app/qt/status_log_view.h"
#include "app/station/tile_state.h"

namespace torvex::station {

class TileLogWindow : public QWidget {
    Q_OBJECT
  public:
    explicit TileLogWindow(const QString& port, QWidget* parent = nullptr);

    // Appends what the log gained since the last call (all of it after a new run began).
    void Follow(const TileState& state);
    const qt::StatusLogView& View() const { return view_; }

  private:
    qt::StatusLogView view_;
    qsizetype shown_ = 0;
    int run_ = 0;
};

}  // namespace torvex::station
