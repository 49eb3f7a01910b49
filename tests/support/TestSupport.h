// Helpers shared by the core tests: a folder of one's own, exact bytes in and out.
#pragma once

#include <gtest/gtest.h>

#include "base/RunObserver.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::test {

/// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const noexcept { return m_path; }
    std::string file(const std::string &name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};

void writeBytes(const std::filesystem::path &path, std::string_view bytes);
std::string readBytes(const std::filesystem::path &path);

/// Bytes with CR, LF, NUL and other control bytes made visible ("\r", "\n", "\x00").
std::string visible(std::string_view bytes);

/// Names of the entries of a folder, sorted (to see that no temporary file stayed behind).
std::vector<std::string> listNames(const std::filesystem::path &dir);

/// An observer whose reactions are set per test.
struct CallbackObserver : RunObserver {
    std::function<bool()> onKeepGoing;
    std::function<void(const std::string &)> onDone;
    std::function<void(const std::string &, const Error &)> onError;
    bool keepGoing() override { return !onKeepGoing || onKeepGoing(); }
    void fileDone(const std::string &path, Outcome) override
    {
        if (onDone)
            onDone(path);
    }
    void error(const std::string &path, const Error &e) override
    {
        if (onError)
            onError(path, e);
    }
};

} // namespace vexlo::test

/// Compares two byte strings and prints both with line breaks visible.
#define EXPECT_BYTES_EQ(expected, actual)                                                                    \
    EXPECT_EQ(::vexlo::test::visible(expected), ::vexlo::test::visible(actual))
