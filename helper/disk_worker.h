#pragma once
// The thread that carries one held disk's commands, so that a product which holds a command for
// long never delays another client's disk. The service's loop hands it one command at a time and
// hears of the outcome through a completion queue whose descriptor it polls; the loop alone
// touches the bus.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "device/device_platform.h"
#include "helper/descriptor_access.h"

namespace torvex::helper {

struct DiskJob {
    std::uint64_t id = 0;
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> data_out;
};

struct FinishedJob {
    std::uint64_t id = 0;
    PassThroughResult result;
    std::vector<std::uint8_t> data_in;
};

// Filled by the workers, emptied by the loop; its descriptor is readable while anything waits.
class CompletionQueue {
  public:
    CompletionQueue();
    ~CompletionQueue();
    CompletionQueue(const CompletionQueue&) = delete;
    CompletionQueue& operator=(const CompletionQueue&) = delete;

    int Descriptor() const { return event_fd_; }
    void Push(FinishedJob job);
    std::vector<FinishedJob> Take();

  private:
    std::mutex mutex_;
    std::vector<FinishedJob> finished_;
    int event_fd_ = -1;
};

class DiskWorker {
  public:
    // Takes `fd` over; it is closed once the thread has ended.
    DiskWorker(DescriptorAccess& access, int fd, std::shared_ptr<CompletionQueue> done);
    // An idle worker's thread ends at once; a busy one's ends on its own after its command.
    ~DiskWorker();
    DiskWorker(const DiskWorker&) = delete;
    DiskWorker& operator=(const DiskWorker&) = delete;

    // Only while not Busy().
    void Submit(DiskJob job);
    // A command was handed over and its outcome has not been taken from the queue yet.
    bool Busy() const { return busy_; }
    void MarkFinished() { busy_ = false; }

  private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::optional<DiskJob> job;
        bool stop = false;
    };
    static void Run(DescriptorAccess& access, int fd, std::shared_ptr<Shared> shared,
                    std::shared_ptr<CompletionQueue> done);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    bool busy_ = false;
};

}  // namespace torvex::helper
