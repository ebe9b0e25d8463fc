#include "helper/disk_worker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace torvex::helper {

CompletionQueue::CompletionQueue() : event_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CompletionQueue::~CompletionQueue() {
    if (event_fd_ >= 0) close(event_fd_);
}

void CompletionQueue::Push(FinishedJob job) {
    std::lock_guard lock(mutex_);
    finished_.push_back(std::move(job));
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(event_fd_, &one, sizeof one);
}

std::vector<FinishedJob> CompletionQueue::Take() {
    std::lock_guard lock(mutex_);
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read_bytes = read(event_fd_, &count, sizeof count);
    return std::exchange(finished_, {});
}

DiskWorker::DiskWorker(DescriptorAccess& access, int fd, std::shared_ptr<CompletionQueue> done)
    : shared_(std::make_shared<Shared>()) {
    thread_ = std::thread(&DiskWorker::Run, std::ref(access), fd, shared_, std::move(done));
}

DiskWorker::~DiskWorker() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_one();
    // A command the kernel has not given back may take a while yet: the loop does not wait.
    if (busy_)
        thread_.detach();
    else
        thread_.join();
}

void DiskWorker::Submit(DiskJob job) {
    busy_ = true;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->job = std::move(job);
    }
    shared_->wake.notify_one();
}

void DiskWorker::Run(DescriptorAccess& access, int fd, std::shared_ptr<Shared> shared,
                     std::shared_ptr<CompletionQueue> done) {
    for (;;) {
        DiskJob job;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return shared->stop || shared->job.has_value(); });
            if (!shared->job) break;
            job = std::move(*shared->job);
            shared->job.reset();
        }
        PassThroughRequest request;
        request.cdb = job.cdb;
        request.direction = job.direction;
        request.length = job.length;
        FinishedJob finished;
        finished.id = job.id;
        finished.data_in.resize(job.direction == DataDirection::In ? job.length : 0);
        request.data_in = finished.data_in.empty() ? nullptr : finished.data_in.data();
        request.data_out = job.data_out.empty() ? nullptr : job.data_out.data();
        finished.result = access.Send(fd, request);
        done->Push(std::move(finished));
    }
    close(fd);
}

}  // namespace torvex::helper
