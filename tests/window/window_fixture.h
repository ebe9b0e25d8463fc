#pragma once
// A main window over a journal-keeping platform and firmware store, and a helper that answers the
// modal boxes the window opens, as an operator would.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/ardeko_pcisp_dlg.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/scripted_platform.h"

namespace torvex::testing {

// Records each listing of the disks in a journal shared with the firmware store.
class JournalPlatform : public ScriptedPlatform {
  public:
    explicit JournalPlatform(std::vector<std::string>& journal) : journal_(journal) {}
    DiskListing ListDiskInterfaces() override;
    std::function<void()> on_listing;

  private:
    std::vector<std::string>& journal_;
};

// Records each block lookup ("block 134") in the shared journal.
class JournalBlocks : public MemoryFirmwareBlocks {
  public:
    explicit JournalBlocks(std::vector<std::string>& journal)
        : MemoryFirmwareBlocks(Patterned()), journal_(journal) {}
    Block Find(std::uint16_t id) const override;
    std::function<void()> on_lookup;

  private:
    std::vector<std::string>& journal_;
};

struct ModalRecord {
    QString class_name;
    QString title;
    QString text;  // a message box's text
};

// While alive, closes every modal box that opens (a message box with its OK button, any other
// dialog with Escape) and records what it was. `inside` runs once, in the first box, while it is
// still open.
class ModalAnswerer {
  public:
    ModalAnswerer();
    ~ModalAnswerer();
    std::vector<ModalRecord> records;
    std::function<void(QWidget*)> inside;

  private:
    void Poll();
    QObject context_;
    QTimer timer_;
    std::vector<QPointer<QWidget>> handled_;
};

struct WindowFixture {
    WindowFixture();
    std::vector<std::string> journal;
    JournalPlatform platform{journal};
    JournalBlocks blocks{journal};
    std::unique_ptr<qt::CArdekoPCISPDlg> dialog;
    const qt::Template102Controls& controls() const { return dialog->Controls(); }
};

// Runs the events that are waiting (posted clicks, queued updates of the view). A test that
// needs time to pass waits on a condition instead (QTest::qWaitFor with a generous bound).
void Spin();

}  // namespace torvex::testing
