#pragma once
// Two temporary files standing in for stdout and stderr, for tests of what the runner writes.

#include <cstdio>
#include <string>

namespace torvex::testing {

// Everything written to `file` so far.
inline std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    return text;
}

struct OutputFiles {
    OutputFiles() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~OutputFiles() {
        if (out != nullptr) std::fclose(out);
        if (err != nullptr) std::fclose(err);
    }
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    std::string Out() const { return ReadAll(out); }
    std::string Err() const { return ReadAll(err); }

    std::FILE* out;
    std::FILE* err;
};

}  // namespace torvex::testing
