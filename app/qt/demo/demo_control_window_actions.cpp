// The control window's actions on the product and its status display.
#include <QStringList>

#include "app/qt/demo/demo_control_window.h"
#include "app/qt/demo/demo_product_actions.h"
#include "simulator/wire_trace.h"

namespace torvex::qt::demo {

namespace {

void Show(const BankEdit& bank, QCheckBox* erased, QLineEdit* tag, QLineEdit* version,
          QLineEdit* name) {
    erased->setChecked(bank.erased);
    tag->setText(bank.erased ? QString() : FormatFourParts(bank.tag));
    version->setText(bank.erased ? QString() : FormatFourParts(bank.version));
    name->setText(QString::fromLatin1(bank.name.c_str()));
}

}  // namespace

void DemoControlWindow::FillBankFields() {
    sim::VirtualProduct& product = platform_.Product(disk_);
    Show(ReadBank(product.Ef64()), ef64_.erased, ef64_.tag, ef64_.version, ef64_.name);
    Show(ReadBank(product.Ef32()), ef32_.erased, ef32_.tag, ef32_.version, ef32_.name);
    bank_error_->clear();
}

void DemoControlWindow::WriteBanks() {
    BankEdit edits[2];
    const BankFields* fields[2] = {&ef64_, &ef32_};
    for (int i = 0; i < 2; ++i) {
        edits[i].erased = fields[i]->erased->isChecked();
        if (edits[i].erased) continue;
        const auto tag = ParseFourParts(fields[i]->tag->text());
        const auto version = ParseFourParts(fields[i]->version->text());
        if (!tag || !version) {
            bank_error_->setText(
                QStringLiteral("Tag and version: four numbers 0-255, e.g. 100.1.0.0"));
            return;
        }
        edits[i].tag = *tag;
        edits[i].version = *version;
        edits[i].name = fields[i]->name->text().toLatin1().toStdString();
    }
    sim::VirtualProduct& product = platform_.Product(disk_);
    WriteBank(product.Ef64(), edits[0]);
    WriteBank(product.Ef32(), edits[1]);
    bank_error_->setText(
        QStringLiteral("Written. Unplug and plug in for the tool to read them again."));
}

void DemoControlWindow::InjectFault() {
    sim::Fault fault =
        sim::Fault::On(static_cast<sim::Command>(fault_command_->currentData().toInt()),
                       static_cast<sim::FaultAction>(fault_action_->currentData().toInt()),
                       static_cast<std::uint32_t>(fault_times_->value()));
    fault.reply_bytes = 16;  // a short reply carries a quarter of an identity block
    platform_.Product(disk_).Faults().Add(fault);
    ShowStatus();
}

void DemoControlWindow::ShowStatus() {
    sim::VirtualProduct& product = platform_.Product(disk_);
    QStringList lines;
    lines << DescribePresence(platform_, disk_);
    lines << DescribeBank("EF64", product.Ef64()) << DescribeBank("EF32_0", product.Ef32());
    lines << QStringLiteral("Faults waiting: %1    Open handles: %2    Clock: %3.%4 s")
                 .arg(product.Faults().Pending())
                 .arg(platform_.OpenHandleCount())
                 .arg(platform_.Now() / 1000)
                 .arg(platform_.Now() / 100 % 10);
    const auto& trace = platform_.Trace();
    lines << QStringLiteral("Commands: %1    Last: %2")
                 .arg(trace.size())
                 .arg(trace.empty() ? QStringLiteral("none")
                                    : QString::fromStdString(trace.back().command.empty()
                                                                 ? std::string("(not a command)")
                                                                 : trace.back().command));
    lines << QStringLiteral("Protocol violations: %1").arg(platform_.Violations().size());
    const QString text = lines.join(u'\n');
    if (status_->text() != text) status_->setText(text);
}

}  // namespace torvex::qt::demo
