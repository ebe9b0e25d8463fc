// The station on virtual products, each updated by a real runner child: what the operator sees
// on the tiles and counters, and what the record holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/station/port_source.h"
#include "app/station/product_record.h"
#include "app/station/station_controller.h"
#include "app/station/station_window.h"
#include "app/station/tile_log_window.h"
#include "app/station/tile_widget.h"

namespace torvex::station {
namespace {

constexpr int kUpperBoundMs = 60'000;  // a generous bound: the runs take well under a second

class StationTest : public ::testing::Test {
  protected:
    void Start(const QStringList& states, int tick_ms = 20) {
        ports_ = std::make_unique<VirtualPorts>(states);
        StationSettings settings;
        settings.runner = QStringLiteral(TORVEX_RUNNER_PATH);
        settings.runner_options = {QStringLiteral("--tick-ms"), QString::number(tick_ms)};
        settings.record_folder = folder_.path();
        controller_ = std::make_unique<StationController>(*ports_, settings);
        window_ = std::make_unique<StationWindow>(*controller_);
        window_->show();
    }
    bool AllIn(TilePhase phase) const {
        for (int i = 0; i < controller_->TileCount(); ++i)
            if (controller_->Tile(i).phase != phase) return false;
        return controller_->TileCount() > 0;
    }
    void WaitAll(TilePhase phase) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return AllIn(phase); }, kUpperBoundMs));
    }
    QList<ProductRecord> Record() const {
        return ReadJsonLinesRecord(QDir(folder_.path()).filePath(kJsonLinesName));
    }
    int CsvLines() const {
        QFile csv(QDir(folder_.path()).filePath(kCsvName));
        return csv.open(QIODevice::ReadOnly) ? int(csv.readAll().count('\n')) : 0;
    }

    QTemporaryDir folder_;
    std::unique_ptr<VirtualPorts> ports_;
    std::unique_ptr<StationController> controller_;
    std::unique_ptr<StationWindow> window_;
};

TEST_F(StationTest, UpdateAllReadyUpdatesFourProductsAndRecordsEach) {
    Start({"application-old", "application-old", "ota", "application-old"});
    WaitAll(TilePhase::Ready);
    window_->UpdateAllReadyButton().click();
    WaitAll(TilePhase::Ended);
    EXPECT_EQ(window_->CountersLabel().text(), u"Passed 4   Failed 0   Running 0"_qs);
    EXPECT_FALSE(window_->ClockRunning());
    EXPECT_FALSE(window_->grab().isNull());  // every tile painted
    // A click on a tile opens its product's whole status log.
    QTest::mouseClick(window_->TileAt(0), Qt::LeftButton, {}, QPoint(20, 40));
    const TileLogWindow* log = window_->LogWindowOf(controller_->Tile(0).port);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->View().Text(), controller_->Tile(0).log);
    EXPECT_TRUE(log->View().Text().endsWith(u"Updat FW.... Update complete !!\r\n"_qs));
    const QList<ProductRecord> record = Record();
    ASSERT_EQ(record.size(), 4);
    QStringList ports;
    for (const ProductRecord& line : record) {
        ports << line.port;
        EXPECT_EQ(line.result, u"PASS"_qs);
        EXPECT_EQ(line.exit_status, 0);
        EXPECT_FALSE(line.serial.isEmpty());
        EXPECT_TRUE(QFile::exists(line.trace_file)) << line.trace_file.toStdString();
    }
    ports.sort();
    EXPECT_EQ(ports, QStringList({"virtual-1", "virtual-2", "virtual-3", "virtual-4"}));
    EXPECT_EQ(CsvLines(), 5);  // the header and a line per product
    // The old product: its banks as listed before; after, only what its log read once writing
    // began (the virtual product is made afresh by every runner, so no listing can tell).
    const int old_index = controller_->IndexOf(u"virtual-1"_qs);
    EXPECT_EQ(controller_->Tile(old_index).ef64_bank, u"100.1.0.0 1.2.3.4 F_TORVEX_APP_V100100"_qs);
    EXPECT_TRUE(controller_->Tile(old_index).ef32_seen.startsWith(u"50.2.0.5"_qs));
    EXPECT_EQ(controller_->Tile(old_index).ef64_seen, QString());  // not read after writing
}

TEST_F(StationTest, AFailingProductEndsRedWithTheRunnersMessageWhileTheOthersPass) {
    Start({"application-old", "application-new", "application-old"});
    WaitAll(TilePhase::Ready);
    controller_->UpdateAllReady();
    WaitAll(TilePhase::Ended);
    const TileState& failed = controller_->Tile(1);
    EXPECT_EQ(failed.result, TileResult::Fail);
    EXPECT_TRUE(failed.box.startsWith(u"Your device's current firmware is not supported"_qs));
    EXPECT_EQ(failed.exit_status, 2);
    EXPECT_EQ(controller_->Tile(0).result, TileResult::Pass);
    EXPECT_EQ(controller_->Tile(2).result, TileResult::Pass);
    EXPECT_EQ(window_->CountersLabel().text(), u"Passed 2   Failed 1   Running 0"_qs);
}

TEST_F(StationTest, AutomaticModeUpdatesAProductPluggedInLater) {
    Start({});
    window_->AutomaticBox().setChecked(true);
    const QString port = ports_->Plug(u"application-old"_qs);
    ASSERT_EQ(controller_->IndexOf(port), 0);
    WaitAll(TilePhase::Ended);
    EXPECT_EQ(controller_->Tile(0).result, TileResult::Pass);
    EXPECT_EQ(Record().size(), 1);
    // Unplugged, the tile goes and the port is free.
    ports_->Unplug(port);
    EXPECT_EQ(controller_->TileCount(), 0);
}

TEST_F(StationTest, ARunnerKilledMidRunEndsItsTileInFail) {
    Start({"application-old"}, 500);
    WaitAll(TilePhase::Ready);
    controller_->Update(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller_->Tile(0).progress >= 1; }, kUpperBoundMs));
    ::kill(static_cast<pid_t>(controller_->RunnerProcessId(0)), SIGKILL);
    WaitAll(TilePhase::Ended);
    EXPECT_EQ(controller_->Tile(0).result, TileResult::Fail);
    EXPECT_EQ(controller_->Tile(0).result_text, u"the runner died before its ending"_qs);
    ASSERT_EQ(Record().size(), 1);
    EXPECT_EQ(Record()[0].result, u"FAIL"_qs);
}

TEST_F(StationTest, FinishingLetsEveryRunningUpdateEndByItself) {
    Start({"application-old", "application-old"}, 200);
    WaitAll(TilePhase::Ready);
    controller_->UpdateAllReady();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller_->Tile(1).progress >= 1; }, kUpperBoundMs));
    bool all_ended = false;
    QObject::connect(controller_.get(), &StationController::AllRunnersEnded,
                     [&] { all_ended = true; });
    controller_->FinishAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return all_ended; }, kUpperBoundMs));
    // Each runner was asked, not cut, and each product is recorded.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(controller_->Tile(i).phase, TilePhase::Ended);
        // 0: its procedure went on to the end; 130: it stopped between procedures, nothing
        // half written. A cut runner would have no exit status (-1).
        const int status = controller_->Tile(i).exit_status;
        EXPECT_TRUE(status == 0 || status == 130) << status;
    }
    EXPECT_EQ(Record().size(), 2);
    controller_->Update(0);  // nothing starts any more
    EXPECT_FALSE(controller_->AnyRunning());
}

TEST_F(StationTest, TheRecordKeepsEveryCompleteLineWhenTheStationIsKilled) {
    const RecordWriter writer(folder_.path());
    ProductRecord product;
    product.port = u"1-1"_qs;
    product.serial = u"SN, \"first\""_qs;  // quoted in the CSV
    // A station killed right after one line...
    const pid_t station = ::fork();
    if (station == 0) {
        writer.Append(product);
        ::raise(SIGKILL);
    }
    int status = 0;
    ::waitpid(station, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    // ...and one killed in the middle of a line.
    for (const char* name : {kJsonLinesName, kCsvName}) {
        QFile file(QDir(folder_.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("{\"time\":\"2026-");
    }
    product.port = u"1-2"_qs;
    ASSERT_EQ(writer.Append(product), QString());
    const QList<ProductRecord> record = Record();
    ASSERT_EQ(record.size(), 2);
    EXPECT_EQ(record[0].port, u"1-1"_qs);
    EXPECT_EQ(record[0].serial, u"SN, \"first\""_qs);
    EXPECT_EQ(record[1].port, u"1-2"_qs);
    EXPECT_EQ(CsvLines(), 4);  // header, the first line, the torn one, the last
}

}  // namespace
}  // namespace torvex::station
