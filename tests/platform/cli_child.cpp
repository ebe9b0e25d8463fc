#include "tests/platform/cli_child.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace torvex::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDescriptorSpread = 32;

// The highest descriptor this process has open.
int HighestOpenDescriptor() {
    int highest = 2;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(fds))
            highest = std::max(highest, std::atoi(entry->d_name));
        closedir(fds);
    }
    return highest;
}

// umockdev names the socket that stands for a udev monitor after the monitor's descriptor number,
// so the monitors of two children with the same numbers would share one socket and only one of
// them would hear the devices come and go. Each child starts with every descriptor below
// `first_free` taken (by /dev/null, in place of what it would inherit), a range that grows by
// kDescriptorSpread from child to child, so the descriptors it opens itself (in whatever order
// its threads open them) differ from every other child's.
pid_t Spawn(const std::vector<std::string>& launcher, const std::string& program,
            const std::vector<std::string>& args, const std::string& out, const std::string& err,
            int first_free) {
    std::vector<std::string> words = launcher;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    for (int fd = 3; fd < first_free; ++fd)
        posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    // The child inherits the umockdev preload, the testbed directory and a test's own system
    // bus (no logind there, on any machine) through the environment.
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

struct Child {
    pid_t pid = -1;
    std::string out;
    std::string err;
    bool done = false;
};

}  // namespace

std::string FreshTempFile(const std::string& directory, const std::string& stem) {
    std::string path = directory + stem + "XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return "";
    close(fd);
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<ChildRun> RunChildren(const std::string& program,
                                  const std::vector<std::vector<std::string>>& runs,
                                  const std::vector<VirtualProductNode*>& nodes,
                                  std::chrono::seconds limit,
                                  const std::vector<std::string>& launcher) {
    std::vector<ChildRun> results(runs.size());
    std::vector<Child> children(runs.size());
    const Clock::time_point start = Clock::now();
    const int lowest_free = HighestOpenDescriptor() + 1;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        children[i].out = FreshTempFile("/tmp/", "torvex_child_out_");
        children[i].err = FreshTempFile("/tmp/", "torvex_child_err_");
        if (!children[i].out.empty() && !children[i].err.empty())
            children[i].pid = Spawn(launcher, program, runs[i], children[i].out, children[i].err,
                                    lowest_free + kDescriptorSpread * static_cast<int>(i));
        if (children[i].pid < 0) {
            results[i].problem = "the runner did not start";
            children[i].done = true;
        }
    }
    std::uint64_t advanced_ms = 0;
    for (std::size_t running = runs.size(); running > 0;) {
        const auto elapsed = Clock::now() - start;
        const auto ms = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        for (VirtualProductNode* node : nodes) node->AdvanceClock(ms - advanced_ms);
        advanced_ms = ms;
        running = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            Child& child = children[i];
            if (child.done) continue;
            int raw = 0;
            if (waitpid(child.pid, &raw, WNOHANG) != child.pid) {
                if (elapsed <= limit) {
                    ++running;
                    continue;
                }
                kill(child.pid, SIGKILL);
                waitpid(child.pid, &raw, 0);
                results[i].problem = "the runner was still running after the limit";
            }
            child.done = true;
            results[i].status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            results[i].took = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed);
        }
        if (running > 0) std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (children[i].out.empty()) continue;
        results[i].out = ReadWholeFile(children[i].out);
        results[i].err = ReadWholeFile(children[i].err);
        unlink(children[i].out.c_str());
        unlink(children[i].err.c_str());
    }
    return results;
}

}  // namespace torvex::testing
