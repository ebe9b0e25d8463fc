#include "app/station/tile_log_window.h"

#include <QVBoxLayout>

namespace torvex::station {

TileLogWindow::TileLogWindow(const QString& port, QWidget* parent)
    : QWidget(parent, Qt::Window), view_(this) {
    setWindowTitle(u"Status log: "_qs + port);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(&view_);
    resize(640, 480);
}

void TileLogWindow::Follow(const TileState& state) {
    if (state.run != run_) {
        view_.ClearLog();
        shown_ = 0;
        run_ = state.run;
    }
    if (state.log.size() == shown_) return;
    view_.Append(QStringView(state.log).mid(shown_));
    shown_ = state.log.size();
}

}  // namespace torvex::station
