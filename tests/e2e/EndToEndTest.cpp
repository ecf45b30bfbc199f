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
//   ;! prelude: hooks       the build appends programs/Hooks.kasm.in: the
//                           exception class and the hooks most programs share
//
// Every run must also end within the time limit, not by a signal, and
// without a sanitizer report.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

const unsigned KTimeLimitSeconds = 20;

struct Expectations {
    std::vector<std::string> logs;
    bool compareLogs = true;
    std::vector<int> exitStatuses;
    std::vector<std::string> contains, lacks, oneOf;
    std::vector<std::string> problems;   // lines that could not be read
};

std::string readFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// After a final newline, as after getline, there is no empty last line.
std::vector<std::string> split(const std::string& aText, const std::string& aSeparator)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = aText.find(aSeparator, from)) != std::string::npos; from = at + aSeparator.size())
        parts.push_back(aText.substr(from, at - from));
    if (from < aText.size() || aSeparator != "\n")
        parts.push_back(aText.substr(from));
    return parts;
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
    for (const std::string& line : split(readFile(aSource), "\n")) {
        if (line.rfind(";!", 0) != 0)
            continue;
        const std::size_t colon = line.find(':', 2);
        std::string key = colon == std::string::npos ? "" : line.substr(2, colon - 2);
        key.erase(0, key.find_first_not_of(' '));
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);

        if (key == "log")
            expected.logs.push_back(value);
        else if (key == "logs" && value == "any")
            expected.compareLogs = false;
        else if (key == "exit")
            for (const std::string& status : split(value, "|"))
                expected.exitStatuses.push_back(std::stoi(status));
        else if (key == "stderr-contains")
            expected.contains.push_back(value);
        else if (key == "stderr-lacks")
            expected.lacks.push_back(value);
        else if (key == "stderr-contains-one-of")
            expected.oneOf.push_back(value);
        else if (key == "prelude" && value == "hooks")
            continue;   // the build appends the shared hooks
        else
            expected.problems.push_back(line);
    }
    if (expected.exitStatuses.empty())
        expected.exitStatuses.push_back(0);
    return expected;
}

// Runs the runtime in aAppDir with our environment plus the offscreen
// platform, a private runtime directory and no leak report at exit (the
// application ends the process without tearing down the window, by
// design). The alarm outlives exec and ends a run that takes too long.
// Answers the wait status, or -1 when the runtime could not be started.
int runRuntime(const std::string& aRuntime, const fs::path& aAppDir, const fs::path& aOutputDir)
{
    std::vector<std::string> environment;
    std::string asanOptions;
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0)
            asanOptions = entry.substr(std::strlen("ASAN_OPTIONS=")) + ":";
        else if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("XDG_RUNTIME_DIR=", 0) != 0)
            environment.push_back(entry);
    }
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    environment.push_back("XDG_RUNTIME_DIR=" + aOutputDir.string());
    environment.push_back("ASAN_OPTIONS=" + asanOptions + "detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string name = "kelvo-vm";
    char* argv[] = {name.data(), nullptr};
    const std::string appDir = aAppDir.string();
    const std::string outPath = (aOutputDir / "stdout.txt").string();
    const std::string errPath = (aOutputDir / "stderr.txt").string();

    const pid_t child = fork();
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || chdir(appDir.c_str()) != 0)
            _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        alarm(KTimeLimitSeconds);
        execve(aRuntime.c_str(), argv, envp.data());
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child ? status : -1;
}

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
    fs::path iPath;
};

class EndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, RunsAsItsSourceSays)
{
#ifndef KELVO_VM_PATH
    GTEST_SKIP() << "kelvo-vm is not part of this build";
#else
    const std::string program = GetParam();
    const Expectations expected = readExpectations(fs::path(KELVO_E2E_PROGRAMS_DIR) / (program + ".kasm"));
    ASSERT_TRUE(expected.problems.empty()) << "unreadable expectation line: " << expected.problems[0];
    const fs::path image = fs::path(KELVO_E2E_IMAGES_DIR) / (program + ".mcb");
    ASSERT_TRUE(fs::exists(image)) << image << " was not assembled";

    TemporaryDirectory work;
    ASSERT_FALSE(work.iPath.empty());
    const fs::path appDir = work.iPath / "app";
    fs::create_directory(appDir);
    fs::copy_file(image, appDir / "index.mcb");

    const int status = runRuntime(KELVO_VM_PATH, appDir, work.iPath);
    ASSERT_NE(status, -1) << "kelvo-vm could not be started";
    const std::string err = readFile(work.iPath / "stderr.txt");
    // The end of standard error, where a failure shows.
    SCOPED_TRACE("standard error of kelvo-vm:\n" + (err.size() <= 4000 ? err : "...\n" + err.substr(err.size() - 4000)));

    ASSERT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        << "did not end within " << KTimeLimitSeconds << " s";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << " (" << strsignal(WTERMSIG(status))
                                   << ")";
    EXPECT_NE(std::find(expected.exitStatuses.begin(), expected.exitStatuses.end(), WEXITSTATUS(status)),
              expected.exitStatuses.end())
        << "unexpected exit status " << WEXITSTATUS(status);

    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error:"})
        EXPECT_EQ(err.find(report), std::string::npos) << "sanitizer report: " << report;

    if (expected.compareLogs) {
        std::vector<std::string> logs;
        for (const std::string& line : split(err, "\n")) {
            if (line.rfind("LOG: ", 0) == 0)
                logs.push_back(line.substr(5));
        }
        std::size_t same = 0;
        while (same < logs.size() && same < expected.logs.size() && logs[same] == expected.logs[same])
            ++same;
        EXPECT_TRUE(logs == expected.logs)
            << "log lines differ from line " << same + 1 << ": expected ["
            << (same < expected.logs.size() ? expected.logs[same] : "(no more)") << "], logged ["
            << (same < logs.size() ? logs[same] : "(no more)") << "]; " << logs.size() << " logged, "
            << expected.logs.size() << " expected";
    }
    for (const std::string& text : expected.contains)
        EXPECT_NE(err.find(text), std::string::npos) << "missing: " << text;
    for (const std::string& text : expected.lacks)
        EXPECT_EQ(err.find(text), std::string::npos) << "present: " << text;
    for (const std::string& choices : expected.oneOf) {
        const std::vector<std::string> texts = split(choices, " || ");
        EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                                [&err](const std::string& text) { return err.find(text) != std::string::npos; }))
            << "none of these: " << choices;
    }
#endif
}

INSTANTIATE_TEST_SUITE_P(Programs, EndToEnd, ::testing::ValuesIn(programNames()),
                         [](const ::testing::TestParamInfo<std::string>& aInfo) { return aInfo.param; });

}
