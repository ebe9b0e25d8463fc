#include "app/station/station_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/station/tile_log_window.h"
#include "app/station/tile_widget.h"

namespace torvex::station {

StationWindow::StationWindow(StationController& controller, QWidget* parent)
    : QWidget(parent),
      controller_(controller),
      update_all_(u"Update all ready"_qs),
      automatic_(u"Automatic: update each product when it is ready"_qs),
      choose_record_(u"Record folder..."_qs) {
    setWindowTitle(u"Torvex ISP station"_qs);
    auto* top = new QHBoxLayout;
    top->addWidget(&update_all_);
    top->addWidget(&automatic_);
    top->addStretch();
    top->addWidget(&counters_);
    auto* record_row = new QHBoxLayout;
    record_row->addWidget(&record_, 1);
    record_row->addWidget(&choose_record_);
    grid_ = new QGridLayout(&grid_holder_);
    grid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scroll_.setWidget(&grid_holder_);
    scroll_.setWidgetResizable(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(record_row);
    layout->addWidget(&scroll_, 1);
    resize(kTileColumns * (kTileWidth + 8) + 40, 2 * (kTileHeight + 8) + 110);

    automatic_.setChecked(controller_.Automatic());
    connect(&update_all_, &QPushButton::clicked, &controller_, &StationController::UpdateAllReady);
    connect(&automatic_, &QCheckBox::toggled, &controller_, &StationController::SetAutomatic);
    connect(&choose_record_, &QPushButton::clicked, this, &StationWindow::ChooseRecordFolder);
    connect(&controller_, &StationController::TilesChanged, this, &StationWindow::RebuildTiles);
    connect(&controller_, &StationController::TileChanged, this, &StationWindow::ShowTile);
    connect(&controller_, &StationController::CountersChanged, this, &StationWindow::ShowCounters);
    connect(&controller_, &StationController::AllRunnersEnded, this, [this] {
        if (closing_) close();
    });
    // The elapsed time of running tiles moves once a second; idle, nothing ticks.
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, [this] {
        for (int i = 0; i < controller_.TileCount(); ++i)
            if (controller_.Tile(i).phase == TilePhase::Updating) tiles_[size_t(i)]->update();
    });
    RebuildTiles();
    ShowCounters();
}

StationWindow::~StationWindow() = default;

TileWidget* StationWindow::TileAt(int index) const {
    return index >= 0 && size_t(index) < tiles_.size() ? tiles_[size_t(index)].get() : nullptr;
}

TileLogWindow* StationWindow::LogWindowOf(const QString& port) const {
    const auto it = logs_.find(port);
    return it == logs_.end() || !it->second->isVisible() ? nullptr : it->second.get();
}

void StationWindow::RebuildTiles() {
    // A tile per port, in the controller's order; the widgets are few and cheap to lay out again.
    while (tiles_.size() > size_t(controller_.TileCount())) tiles_.pop_back();
    while (tiles_.size() < size_t(controller_.TileCount())) {
        auto tile = std::make_unique<TileWidget>(&grid_holder_);
        TileWidget* widget = tile.get();
        const auto index = [this, widget] {
            for (size_t i = 0; i < tiles_.size(); ++i)
                if (tiles_[i].get() == widget) return int(i);
            return -1;
        };
        connect(widget, &TileWidget::UpdateRequested, this,
                [this, index] { controller_.Update(index()); });
        connect(widget, &TileWidget::LogRequested, this,
                [this, index] { OpenLog(controller_.Tile(index()).port); });
        tiles_.push_back(std::move(tile));
    }
    for (size_t i = 0; i < tiles_.size(); ++i) {
        grid_->addWidget(tiles_[i].get(), int(i) / kTileColumns, int(i) % kTileColumns);
        tiles_[i]->show();
        ShowTile(int(i));
    }
    for (auto it = logs_.begin(); it != logs_.end();)
        it = controller_.IndexOf(it->first) < 0 ? logs_.erase(it) : std::next(it);
    ShowCounters();
}

void StationWindow::ShowTile(int index) {
    if (index < 0 || size_t(index) >= tiles_.size()) return;
    const TileState& state = controller_.Tile(index);
    tiles_[size_t(index)]->Show(state);
    if (const auto it = logs_.find(state.port); it != logs_.end()) it->second->Follow(state);
}

void StationWindow::ShowCounters() {
    const StationCounters counters = controller_.Counters();
    counters_.setText(u"Passed %1   Failed %2   Running %3"_qs.arg(counters.passed)
                          .arg(counters.failed)
                          .arg(counters.running));
    QString record = u"Record: "_qs + controller_.RecordFolder();
    if (!controller_.RecordError().isEmpty())
        record += u"   NOT WRITTEN: "_qs + controller_.RecordError();
    record_.setText(record);
    if (counters.running > 0 && !clock_.isActive()) clock_.start();
    if (counters.running == 0) clock_.stop();
}

void StationWindow::OpenLog(const QString& port) {
    const int index = controller_.IndexOf(port);
    if (index < 0) return;
    auto& window = logs_[port];
    if (!window) window = std::make_unique<TileLogWindow>(port, this);
    window->Follow(controller_.Tile(index));
    window->show();
    window->raise();
}

void StationWindow::ChooseRecordFolder() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, u"Record folder"_qs, controller_.RecordFolder());
    if (folder.isEmpty()) return;
    controller_.SetRecordFolder(folder);
    ShowCounters();
}

void StationWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // After the whole paint (tiles included), the window is on screen: the products are read.
    QTimer::singleShot(0, this, [this] {
        if (!first_tile_told_ && !tiles_.empty()) {
            first_tile_told_ = true;
            emit FirstTileShown();
        }
        controller_.Begin();
    });
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!controller_.AnyRunning()) return event->accept();
    event->ignore();
    if (closing_) return;
    if (controller_.AnyUpdating()) {
        const auto answer = QMessageBox::question(
            this, windowTitle(),
            u"Products are being updated. Close when their updates have finished?"_qs);
        if (answer != QMessageBox::Yes) return;
    }
    closing_ = true;
    setWindowTitle(u"Torvex ISP station: finishing the running updates"_qs);
    controller_.FinishAll();
}

}  // namespace torvex::station
