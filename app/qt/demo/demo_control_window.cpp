#include "app/qt/demo/demo_control_window.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt/demo/demo_product_actions.h"
#include "simulator/product_presets.h"

namespace torvex::qt::demo {

namespace {

constexpr std::array<sim::ProductMode, 5> kModes = {
    sim::ProductMode::Application, sim::ProductMode::Ota, sim::ProductMode::ProtectIsp,
    sim::ProductMode::Mask0210, sim::ProductMode::Mask0110};

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

DemoControlWindow::DemoControlWindow(sim::VirtualPlatform& platform,
                                     DeviceEventNotifier& product_events, sim::DiskIndex disk,
                                     QWidget* parent)
    : QWidget(parent, Qt::Window), platform_(platform), disk_(disk) {
    setObjectName(QStringLiteral("demoControlWindow"));
    setWindowTitle(QStringLiteral("Virtual product"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildConnection());
    layout->addWidget(BuildPresets());
    layout->addWidget(BuildBanks());
    layout->addWidget(BuildFaults());
    layout->addWidget(BuildStatus());
    connect(&product_events, &DeviceEventNotifier::EventsTaken, this,
            &DemoControlWindow::ShowStatus);
    FillBankFields();
    ShowStatus();
}

QWidget* DemoControlWindow::BuildConnection() {
    auto* box = new QGroupBox(QStringLiteral("Connection"), this);
    auto* row = new QHBoxLayout(box);
    QPushButton* plug = Button(QStringLiteral("Plug in"), "plugButton", box);
    QPushButton* unplug = Button(QStringLiteral("Unplug"), "unplugButton", box);
    mode_ = new QComboBox(box);
    mode_->setObjectName(QStringLiteral("modeCombo"));
    for (sim::ProductMode mode : kModes)
        mode_->addItem(Latin1(sim::ModeName(mode)), static_cast<int>(mode));
    QPushButton* reenumerate = Button(QStringLiteral("Re-enumerate in"), "reenumerateButton", box);
    held_ = new QCheckBox(QStringLiteral("Held open by another program"), box);
    held_->setObjectName(QStringLiteral("heldCheck"));
    row->addWidget(plug);
    row->addWidget(unplug);
    row->addWidget(reenumerate);
    row->addWidget(mode_);
    row->addWidget(held_);
    row->addStretch();
    connect(plug, &QPushButton::clicked, this, [this] { platform_.Plug(disk_); });
    connect(unplug, &QPushButton::clicked, this, [this] { platform_.Unplug(disk_); });
    connect(reenumerate, &QPushButton::clicked, this, [this] {
        const auto mode = static_cast<sim::ProductMode>(mode_->currentData().toInt());
        if (platform_.IsPresent(disk_)) {
            platform_.Reenumerate(disk_, mode);
        } else {
            platform_.Plug(disk_, mode);
        }
    });
    connect(held_, &QCheckBox::toggled, this,
            [this](bool held) { platform_.SetHeldByOtherProgram(disk_, held); });
    return box;
}

QWidget* DemoControlWindow::BuildPresets() {
    auto* box = new QGroupBox(QStringLiteral("Ready-made state"), this);
    auto* row = new QHBoxLayout(box);
    preset_ = new QComboBox(box);
    preset_->setObjectName(QStringLiteral("presetCombo"));
    for (sim::ProductPreset preset : sim::AllPresets()) {
        preset_->addItem(Latin1(sim::PresetName(preset)), static_cast<int>(preset));
        preset_->setItemData(preset_->count() - 1, Latin1(sim::PresetDescription(preset)),
                             Qt::ToolTipRole);
    }
    QPushButton* load =
        Button(QStringLiteral("Load (the product re-enumerates)"), "loadPresetButton", box);
    row->addWidget(preset_, 1);
    row->addWidget(load);
    connect(load, &QPushButton::clicked, this, [this] {
        ApplyPreset(platform_, disk_,
                    static_cast<sim::ProductPreset>(preset_->currentData().toInt()));
        FillBankFields();
        ShowStatus();
    });
    return box;
}

QWidget* DemoControlWindow::BuildBanks() {
    auto* box = new QGroupBox(QStringLiteral("Firmware in the banks"), this);
    auto* grid = new QGridLayout(box);
    const QStringList headers = {QString(), QStringLiteral("Tag"), QStringLiteral("Version"),
                                 QStringLiteral("Name (24 characters)"), QString()};
    for (int column = 0; column < headers.size(); ++column)
        grid->addWidget(new QLabel(headers[column], box), 0, column);
    const auto add_row = [&](int row, const QString& label, BankFields& fields, const char* key) {
        grid->addWidget(new QLabel(label, box), row, 0);
        fields.tag = new QLineEdit(box);
        fields.version = new QLineEdit(box);
        fields.name = new QLineEdit(box);
        fields.name->setMaxLength(24);
        fields.erased = new QCheckBox(QStringLiteral("erased"), box);
        fields.tag->setObjectName(QStringLiteral("%1Tag").arg(QLatin1String(key)));
        fields.version->setObjectName(QStringLiteral("%1Version").arg(QLatin1String(key)));
        fields.name->setObjectName(QStringLiteral("%1Name").arg(QLatin1String(key)));
        fields.erased->setObjectName(QStringLiteral("%1Erased").arg(QLatin1String(key)));
        grid->addWidget(fields.tag, row, 1);
        grid->addWidget(fields.version, row, 2);
        grid->addWidget(fields.name, row, 3);
        grid->addWidget(fields.erased, row, 4);
    };
    add_row(1, QStringLiteral("EF64"), ef64_, "ef64");
    add_row(2, QStringLiteral("EF32_0"), ef32_, "ef32");
    grid->setColumnStretch(3, 1);
    QPushButton* write = Button(QStringLiteral("Write banks"), "writeBanksButton", box);
    QPushButton* read = Button(QStringLiteral("Read back"), "readBanksButton", box);
    bank_error_ = new QLabel(box);
    bank_error_->setStyleSheet(QStringLiteral("color: #b00000"));
    grid->addWidget(bank_error_, 3, 0, 1, 3);
    grid->addWidget(read, 3, 3, Qt::AlignRight);
    grid->addWidget(write, 3, 4);
    connect(write, &QPushButton::clicked, this, &DemoControlWindow::WriteBanks);
    connect(read, &QPushButton::clicked, this, &DemoControlWindow::FillBankFields);
    return box;
}

QWidget* DemoControlWindow::BuildFaults() {
    auto* box = new QGroupBox(QStringLiteral("Fault on the next matching command"), this);
    auto* row = new QHBoxLayout(box);
    fault_command_ = new QComboBox(box);
    fault_command_->setObjectName(QStringLiteral("faultCommandCombo"));
    for (sim::Command command : FaultCommands())
        fault_command_->addItem(Latin1(sim::CommandName(command)), static_cast<int>(command));
    fault_action_ = new QComboBox(box);
    fault_action_->setObjectName(QStringLiteral("faultActionCombo"));
    for (sim::FaultAction action : FaultActions())
        fault_action_->addItem(demo::FaultActionName(action), static_cast<int>(action));
    fault_times_ = new QSpinBox(box);
    fault_times_->setRange(0, 99);
    fault_times_->setValue(3);
    fault_times_->setSpecialValueText(QStringLiteral("always"));
    fault_times_->setSuffix(QStringLiteral(" times"));
    QPushButton* inject = Button(QStringLiteral("Inject"), "injectFaultButton", box);
    QPushButton* clear = Button(QStringLiteral("Clear faults"), "clearFaultsButton", box);
    row->addWidget(fault_command_, 1);
    row->addWidget(fault_action_);
    row->addWidget(fault_times_);
    row->addWidget(inject);
    row->addWidget(clear);
    connect(inject, &QPushButton::clicked, this, &DemoControlWindow::InjectFault);
    connect(clear, &QPushButton::clicked, this, [this] {
        platform_.Product(disk_).Faults().Clear();
        ShowStatus();
    });
    return box;
}

QWidget* DemoControlWindow::BuildStatus() {
    auto* box = new QGroupBox(QStringLiteral("The product now"), this);
    auto* layout = new QVBoxLayout(box);
    status_ = new QLabel(box);
    status_->setObjectName(QStringLiteral("productStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);
    return box;
}

void DemoControlWindow::Refresh() {
    FillBankFields();
    ShowStatus();
}

}  // namespace torvex::qt::demo
