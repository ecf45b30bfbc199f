// Runs each assembled program of programs/ with kelvo-vm, the way a device
// starts an application: a directory that holds the image as index.mcb is
// the current directory, and there are no arguments. The program's source
// says what must happen, in comment lines that start with ";!":
//
//   ;! log: TEXT            the next "LOG: " line of standard error is
//                           exactly "LOG: TEXT"; together these lines are
//                           every log line, in order (none: no log lines)
//   ;! logs: any            the log lines are not compared
//   ;! exit: N|M...         the exit status is one of these (default 0)
//   ;! stderr-contains: T   standard error contains T
//   ;! stderr-lacks: T      standard error does not contain T
//   ;! stderr-contains-one-of: A || B ...
//                           standard error contains at least one of them
//
// Every run must also end within the time limit, not by a signal, and
// without a sanitizer report.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::chrono::seconds KTimeLimit(20);

struct Expectations {
    std::vector<std::string> logs;
    bool compareLogs = true;
    std::vector<int> exitStatuses;
    std::vector<std::string> contains;
    std::vector<std::string> lacks;
    std::vector<std::vector<std::string>> containsOneOf;
    std::vector<std::string> problems;   // lines that could not be read
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    bool exited = false;
    int exitStatus = 0;
    int signal = 0;
    std::string errorText;
};

std::string readFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& aText)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(aText);
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> programNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(KELVO_E2E_PROGRAMS_DIR, error)) {
        if (entry.path().extension() == ".kasm")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Expectations readExpectations(const fs::path& aSource)
{
    Expectations expected;
    for (const std::string& line : splitLines(readFile(aSource))) {
        if (line.rfind(";!", 0) != 0)
            continue;
        const std::string directive = line.substr(2);
        const std::size_t colon = directive.find(':');
        if (colon == std::string::npos) {
            expected.problems.push_back(line);
            continue;
        }
        std::string key = directive.substr(0, colon);
        key.erase(0, key.find_first_not_of(' '));
        std::string value = directive.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);

        if (key == "log") {
            expected.logs.push_back(value);
        } else if (key == "logs" && value == "any") {
            expected.compareLogs = false;
        } else if (key == "exit") {
            std::istringstream statuses(value);
            std::string status;
            while (std::getline(statuses, status, '|'))
                expected.exitStatuses.push_back(std::stoi(status));
        } else if (key == "stderr-contains") {
            expected.contains.push_back(value);
        } else if (key == "stderr-lacks") {
            expected.lacks.push_back(value);
        } else if (key == "stderr-contains-one-of") {
            std::vector<std::string> choices;
            std::size_t from = 0;
            for (std::size_t bar; (bar = value.find(" || ", from)) != std::string::npos; from = bar + 4)
                choices.push_back(value.substr(from, bar - from));
            choices.push_back(value.substr(from));
            expected.containsOneOf.push_back(choices);
        } else {
            expected.problems.push_back(line);
        }
    }
    if (expected.exitStatuses.empty())
        expected.exitStatuses.push_back(0);
    return expected;
}

// The environment of the runtime: ours, with the offscreen platform, a
// private runtime directory, and no leak report at exit (the application
// ends the process without tearing down the window, by design).
std::vector<std::string> runtimeEnvironment(const fs::path& aRuntimeDir)
{
    std::vector<std::string> result;
    std::string asanOptions;
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0) {
            asanOptions = entry.substr(std::strlen("ASAN_OPTIONS=")) + ":";
            continue;
        }
        if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0)
            continue;
        result.push_back(entry);
    }
    result.push_back("QT_QPA_PLATFORM=offscreen");
    result.push_back("XDG_RUNTIME_DIR=" + aRuntimeDir.string());
    result.push_back("ASAN_OPTIONS=" + asanOptions + "detect_leaks=0");
    return result;
}

RunResult runRuntime(const std::string& aRuntime, const fs::path& aAppDir, const fs::path& aOutputDir)
{
    RunResult result;
    const std::string appDir = aAppDir.string();
    const std::string outPath = (aOutputDir / "stdout.txt").string();
    const std::string errPath = (aOutputDir / "stderr.txt").string();
    std::vector<std::string> environment = runtimeEnvironment(aOutputDir);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string name = "kelvo-vm";
    char* argv[] = {name.data(), nullptr};

    const pid_t child = fork();
    if (child < 0)
        return result;
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || chdir(appDir.c_str()) != 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execve(aRuntime.c_str(), argv, envp.data());
        _exit(127);
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + KTimeLimit;
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child)
            break;
        if (ended < 0) {
            result.started = false;
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!result.timedOut) {
        if (WIFEXITED(status)) {
            result.exited = true;
            result.exitStatus = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
    }
    result.errorText = readFile(errPath);
    return result;
}

std::string joined(const std::vector<std::string>& aLines, std::size_t aFrom, std::size_t aCount)
{
    std::string text;
    for (std::size_t i = aFrom; i < aLines.size() && i < aFrom + aCount; ++i)
        text += "  " + std::to_string(i + 1) + ": [" + aLines[i] + "]\n";
    if (aLines.size() > aFrom + aCount)
        text += "  ... " + std::to_string(aLines.size() - aFrom - aCount) + " more\n";
    return text.empty() ? "  (none)\n" : text;
}

// The beginning and the end of a long text.
std::string excerpt(const std::string& aText)
{
    const std::vector<std::string> lines = splitLines(aText);
    if (lines.size() <= 45)
        return aText;
    std::string text;
    for (std::size_t i = 0; i < 25; ++i)
        text += lines[i] + "\n";
    text += "... (" + std::to_string(lines.size() - 35) + " lines left out)\n";
    for (std::size_t i = lines.size() - 10; i < lines.size(); ++i)
        text += lines[i] + "\n";
    return text;
}

// A temporary directory that goes away with the test.
class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "kelvo-e2e-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            iPath = pattern;
    }
    ~TemporaryDirectory()
    {
        std::error_code error;
        if (!iPath.empty())
            fs::remove_all(iPath, error);
    }
    const fs::path& path() const { return iPath; }

private:
    fs::path iPath;
};

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, RunsAsItsSourceSays)
{
#ifndef KELVO_VM_PATH
    GTEST_SKIP() << "kelvo-vm is not part of this build";
#else
    const std::string program = GetParam();
    const fs::path source = fs::path(KELVO_E2E_PROGRAMS_DIR) / (program + ".kasm");
    const fs::path image = fs::path(KELVO_E2E_IMAGES_DIR) / (program + ".mcb");
    const Expectations expected = readExpectations(source);
    ASSERT_TRUE(expected.problems.empty()) << "unreadable expectation lines:\n"
                                           << joined(expected.problems, 0, expected.problems.size());
    ASSERT_TRUE(fs::exists(image)) << image << " was not assembled";

    TemporaryDirectory work;
    ASSERT_FALSE(work.path().empty());
    const fs::path appDir = work.path() / "app";
    fs::create_directory(appDir);
    fs::copy_file(image, appDir / "index.mcb");

    const RunResult run = runRuntime(KELVO_VM_PATH, appDir, work.path());
    ASSERT_TRUE(run.started) << "kelvo-vm could not be started";
    const std::string& err = run.errorText;
    SCOPED_TRACE("standard error of kelvo-vm:\n" + excerpt(err));

    ASSERT_FALSE(run.timedOut) << "did not end within " << KTimeLimit.count() << " s";
    ASSERT_TRUE(run.exited) << "ended by signal " << run.signal << " (" << strsignal(run.signal) << ")";
    std::string statuses;
    for (int status : expected.exitStatuses)
        statuses += (statuses.empty() ? "" : " or ") + std::to_string(status);
    EXPECT_TRUE(std::find(expected.exitStatuses.begin(), expected.exitStatuses.end(), run.exitStatus)
                != expected.exitStatuses.end())
        << "exit status " << run.exitStatus << ", expected " << statuses;

    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error:"})
        EXPECT_EQ(err.find(report), std::string::npos) << "sanitizer report: " << report;

    if (expected.compareLogs) {
        std::vector<std::string> logs;
        for (const std::string& line : splitLines(err)) {
            if (line.rfind("LOG: ", 0) == 0)
                logs.push_back(line.substr(5));
        }
        std::size_t same = 0;
        while (same < logs.size() && same < expected.logs.size() && logs[same] == expected.logs[same])
            ++same;
        const std::size_t from = same > 3 ? same - 3 : 0;
        EXPECT_TRUE(logs == expected.logs)
            << "log lines differ from line " << same + 1 << " (" << logs.size() << " logged, "
            << expected.logs.size() << " expected)\nexpected:\n"
            << joined(expected.logs, from, 10) << "logged:\n" << joined(logs, from, 10);
    }
    for (const std::string& text : expected.contains)
        EXPECT_NE(err.find(text), std::string::npos) << "missing: " << text;
    for (const std::string& text : expected.lacks)
        EXPECT_EQ(err.find(text), std::string::npos) << "present: " << text;
    for (const std::vector<std::string>& choices : expected.containsOneOf) {
        EXPECT_TRUE(std::any_of(choices.begin(), choices.end(),
                                [&err](const std::string& text) { return err.find(text) != std::string::npos; }))
            << "none of these: " << joined(choices, 0, choices.size());
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Programs, EndToEnd, ::testing::ValuesIn(programNames()),
                         [](const ::testing::TestParamInfo<std::string>& aInfo) { return aInfo.param; });

}
