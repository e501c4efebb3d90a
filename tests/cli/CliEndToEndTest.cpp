// vaultpack-cli as a script runs it (no terminal at all) and as a person runs
// it (on a pseudo-terminal): the built program in temporary folders.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "crypto/EncryptFile.h"
#include "crypto/EncryptedFileHeader.h"
#include "tests/zip/ZipTestSupport.h"
#include "tests/support/TempDir.h"

namespace vaultpack {
namespace {

using Arguments = std::vector<std::string>;
using Files = std::map<std::string, std::string>;
using test::ReadText;

// Every file below root by relative path, with its content.
Files FileContents(const std::filesystem::path& root) {
    Files files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(root).string()] = ReadText(entry.path());
        }
    }
    return files;
}

// In a forked child: runs the program in `folder` with English texts and
// Tokyo's time zone, in which any local-time slip shows in the times printed.
[[noreturn]] void ExecuteCli(Arguments arguments, const std::filesystem::path& folder) {
    arguments.insert(arguments.begin(), VAULTPACK_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& word : arguments) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    char language[] = "LANG=C";
    char zone[] = "TZ=Asia/Tokyo";
    char* environment[] = {language, zone, nullptr};
    if (::chdir(folder.c_str()) == 0) {
        ::execve(argv[0], argv.data(), environment);
    }
    ::_exit(127);
}

// The exit status, or 128 + the signal that ended the process.
int ExitStatusOf(pid_t process) {
    int status = 0;
    ::waitpid(process, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct CliRun { int status; std::string output, errors; };

// Starts the program as the leader of a new session, so that it has no
// terminal at all, reading `input`; what it prints goes to files in `capture`,
// which are there to be read from the start.
pid_t StartCli(const Arguments& arguments, const std::filesystem::path& folder, const test::TempDir& capture,
               const std::string& input = {}) {
    test::WriteFile(capture / "stdin", input);
    test::WriteFile(capture / "stdout", std::string());
    test::WriteFile(capture / "stderr", std::string());
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        const int in = ::open((capture / "stdin").c_str(), O_RDONLY);
        const int out = ::open((capture / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((capture / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(126);
        }
        ExecuteCli(arguments, folder);
    }
    return child;
}

CliRun WaitForCli(pid_t process, const test::TempDir& capture) {
    const int status = ExitStatusOf(process);
    return {status, ReadText(capture / "stdout"), ReadText(capture / "stderr")};
}

CliRun RunCli(const Arguments& arguments, const std::filesystem::path& folder, const std::string& input = {}) {
    const test::TempDir capture;
    return WaitForCli(StartCli(arguments, folder, capture, input), capture);
}

// The program with a pseudo-terminal as its controlling terminal and as its
// standard input, output and error: a person at a terminal.
class CliOnTerminal {
public:
    CliOnTerminal(const Arguments& arguments, const std::filesystem::path& folder)
        : process_(::forkpty(&terminal_, nullptr, nullptr, nullptr)) {
        if (process_ == 0) {
            ExecuteCli(arguments, folder);
        }
    }
    ~CliOnTerminal() {
        if (process_ > 0) {
            ::kill(process_, SIGKILL);
            Wait();
        }
        ::close(terminal_);
    }

    // Waits (at most ten seconds) until the program has written `text` since
    // the text last expected; false when it did not.
    bool Expect(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (const std::size_t found = transcript.find(text, expected_); found != std::string::npos) {
                expected_ = found + text.size();
                return true;
            }
            pollfd ready{terminal_, POLLIN, 0};
            char buffer[4096];
            if (::poll(&ready, 1, 100) == 1) {
                const ssize_t count = ::read(terminal_, buffer, sizeof buffer);
                if (count <= 0) {
                    return false;  // the program has ended
                }
                transcript.append(buffer, static_cast<std::size_t>(count));
            }
        }
        return false;
    }
    void Type(const std::string& text) {
        ASSERT_EQ(::write(terminal_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // The exit status; a program still running ten seconds on is killed.
    int Wait() {
        Expect(std::string(1, '\0'));  // reads the rest until the terminal closes
        ::kill(process_, SIGKILL);
        const int status = ExitStatusOf(process_);
        process_ = -1;
        return status;
    }

    std::string transcript;  // everything the terminal showed

private:
    int terminal_ = -1;
    pid_t process_;
    std::size_t expected_ = 0;
};

class CliEndToEnd : public ::testing::Test {
protected:
    CliEndToEnd() {
        std::filesystem::create_directories(source / "docs" / "sub");
        test::WriteFile(source / "docs" / "a.txt", std::string("alpha\n"));
        test::WriteFile(source / "docs" / "sub" / "b.txt", std::string("beta\n"));
        test::WriteFile(source / "one.txt", test::PseudoRandomBytes(300000));
        test::WriteFile(work / "pw", std::string("Secret\n"));
    }

    // A fresh empty folder below the test's folder.
    std::filesystem::path Folder(const std::string& name) {
        std::filesystem::create_directories(work / name);
        return work / name;
    }

    test::TempDir work;
    const std::filesystem::path source = Folder("source");
    const std::string password = (work / "pw").string();
};

TEST_F(CliEndToEnd, EveryCreateCombinationRoundTrips) {
    const Files several = FileContents(source);
    const Files one = {{"one.txt", several.at("one.txt")}};
    const auto decrypt = [&](const std::string& container) {
        return Arguments{"decrypt", "--password-file", password, container};
    };
    struct Combination {
        std::string name;
        Arguments options;
        bool severalItems;
        std::string output;
        std::vector<Arguments> restore;  // run beside the output
        std::string between;             // what restoring leaves besides the files
    };
    const std::vector<Combination> combinations = {
        {"several zipped", {"--zip"}, true, "out.zip", {{"unzip", "out.zip"}}, ""},
        {"several zipped and encrypted", {"--zip", "--encrypt"}, true, "out.ezc", {decrypt("out.ezc")}, ""},
        {"several encrypted, zip implied", {"--encrypt"}, true, "out.ezc", {decrypt("out.ezc")}, ""},
        {"one zipped", {"--zip"}, false, "one.zip", {{"unzip", "one.zip", "."}}, ""},
        {"one encrypted", {"--encrypt"}, false, "one.ezc", {decrypt("one.ezc")}, ""},
        {"one zipped first", {"--zip", "--encrypt", "--order", "zip-first"}, false, "one.ezc",
         {decrypt("one.ezc"), {"unzip", "one.zip"}}, "one.zip"},
        {"one encrypted first, as .zip says", {"--encrypt", "--zip"}, false, "one.zip",
         {{"unzip", "one.zip"}, decrypt("one.ezc")}, "one.ezc"},
        {"one zipped first, as .ezc says", {"--encrypt", "--zip"}, false, "one.ezc",
         {decrypt("one.ezc"), {"unzip", "one.zip"}}, "one.zip"},
    };
    for (const Combination& combination : combinations) {
        SCOPED_TRACE(combination.name);
        const auto folder = Folder(combination.name);
        Arguments create = {"create", (folder / combination.output).string(), "one.txt", "--password-file", password};
        create.insert(create.end(), combination.options.begin(), combination.options.end());
        if (combination.severalItems) {
            create.push_back("docs");
        }
        const CliRun created = RunCli(create, source);
        ASSERT_EQ(created.status, 0) << created.errors;
        // Only an encrypted output is called encrypted; a plain ZIP is named.
        const std::string made = combination.options == Arguments{"--zip"}
                                     ? "The ZIP archive \"" + (folder / combination.output).string() +
                                           "\" has been created. It is not protected by a password.\n"
                                     : "Your Encrypted Archive has been successfully created\n";
        EXPECT_EQ(created.output, made);
        EXPECT_EQ(test::FolderEntries(folder), std::vector<std::string>{combination.output});

        Files expected = combination.severalItems ? several : one;
        expected[combination.output] = ReadText(folder / combination.output);
        for (const Arguments& step : combination.restore) {
            const CliRun run = RunCli(step, folder);
            EXPECT_EQ(run.status, 0) << step[0] << ": " << run.errors;
        }
        if (!combination.between.empty()) {
            expected[combination.between] = ReadText(folder / combination.between);
        }
        EXPECT_EQ(FileContents(folder), expected);
    }
}

// create takes a file alone and a folder ("." too) under its own name with
// its regular files sorted, leaving out the OUTPUT, what is no regular file
// and a temporary file a killed run left; list and info show what it made.
TEST_F(CliEndToEnd, ListAndInfoShowWhatCreateTook) {
    const auto docs = source / "docs";
    std::filesystem::create_symlink(docs / "a.txt", docs / "B.txt");
    std::filesystem::create_symlink(docs / "missing", docs / "broken");
    std::filesystem::create_directory_symlink(docs, docs / "sub" / "loop");
    ASSERT_EQ(::mkfifo((docs / "pipe").c_str(), 0600), 0);
    std::filesystem::create_directory(docs / "empty");
    // Only named like an unfinished output of ours: the user's file, taken like any other.
    test::WriteFile(docs / "sub" / ".vaultpack-0abcdefghi.part", std::string("only named like ours"));
    // 2021-06-01T12:00:00Z; the program runs in Tokyo's time zone, nine hours ahead.
    const auto june = std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1622548800)));
    for (const char* name : {"docs/a.txt", "docs/sub/.vaultpack-0abcdefghi.part", "docs/sub/b.txt", "one.txt"}) {
        std::filesystem::last_write_time(source / name, june);
    }
    const CliRun created = RunCli({"create", "--zip", "out.zip", "../one.txt", "."}, docs);
    // Done, with items left out: each is named.
    ASSERT_EQ(created.status, 5) << created.errors;
    for (const char* skipped : {"./broken", "./pipe", "./sub/loop"}) {
        EXPECT_NE(created.errors.find("Skipped, not a regular file: \"" + std::string(skipped)), std::string::npos);
    }
    EXPECT_NE(created.errors.find("Skipped, an empty folder, which archives made here do not hold: \"./empty\""),
              std::string::npos)
        << created.errors;
    const CliRun listed = RunCli({"list", "out.zip"}, docs);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output,
              "      300000  2021-06-01T12:00:00Z  one.txt\n"
              "           6  2021-06-01T12:00:00Z  docs/B.txt\n"
              "           6  2021-06-01T12:00:00Z  docs/a.txt\n"
              "          20  2021-06-01T12:00:00Z  docs/sub/.vaultpack-0abcdefghi.part\n"
              "           5  2021-06-01T12:00:00Z  docs/sub/b.txt\n");

    ASSERT_EQ(RunCli({"create", "--encrypt", "--hint", "my hint", "--password-file", password, "one.ezc", "one.txt"},
                     source).status,
              0);
    const CliRun info = RunCli({"info", "one.ezc"}, source);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.output, "Stored name: one.txt\nPlain length: 300000\nHint: my hint\nZip flag: 0\nVersion: 2\n");
}

// What create stores for its ITEMs: each file once under a name of its own,
// a folder's files under the folder's path; a list whose files would share a
// stored name is refused and nothing is written.
TEST_F(CliEndToEnd, CreateStoresEachFileOnceUnderItsOwnName) {
    std::filesystem::create_directories(source / "b" / "docs");
    test::WriteFile(source / "b" / "docs" / "a.txt", std::string("other alpha\n"));
    struct Row { std::string name; Arguments items; int status; std::string listedOrError; };
    const std::vector<Row> rows = {
        {"one file twice", {"docs/a.txt", "./docs/a.txt"}, 0, "a.txt\n"},
        {"the same folder twice", {"docs", "docs/"}, 0, "docs/a.txt\ndocs/sub/b.txt\n"},
        {"a folder that holds one file", {"docs/sub"}, 0, "sub/b.txt\n"},
        {"two files of one name", {"docs/a.txt", "b/docs/a.txt"}, 1,
         "\"docs/a.txt\" and \"b/docs/a.txt\" would be stored under the same name"},
        {"two folders of one name", {"docs", "b/docs"}, 1,
         "\"docs/a.txt\" and \"b/docs/a.txt\" would be stored under the same name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Arguments create = {"create", "--zip", "out.zip"};
        create.insert(create.end(), row.items.begin(), row.items.end());
        const CliRun run = RunCli(create, source);
        EXPECT_EQ(run.status, row.status) << run.errors;
        if (row.status != 0) {
            EXPECT_NE(run.errors.find(row.listedOrError), std::string::npos) << run.errors;
            EXPECT_FALSE(std::filesystem::exists(source / "out.zip"));
            continue;
        }
        // The names, without the sizes and times that list puts before them.
        const std::string listed = RunCli({"list", "out.zip"}, source).output;
        EXPECT_EQ(std::regex_replace(listed, std::regex(".*  "), ""), row.listedOrError);
        std::filesystem::remove(source / "out.zip");
    }
}

// --password-file gives the first line of its file or standard input without
// its line end, when that line keeps the rule; with no terminal to ask on,
// there is no other way.
TEST_F(CliEndToEnd, PasswordsComeFromAFileOrStandardInput) {
    const std::string longest = "0123456789abcdef";
    const std::map<std::string, std::string> files = {
        {"no line end", longest}, {"empty line", "\n" + longest + "\n"}, {"too long", longest + "X\n"}, {"bad", "a b"}};
    for (const auto& [name, content] : files) {
        test::WriteFile(work / name, content);
    }
    const auto file = [&](const std::string& name) { return (work / name).string(); };
    const auto target = Folder("target");
    const std::string container = (target / "one.ezc").string();
    const auto decrypt = [&](const std::string& file) {
        return Arguments{"decrypt", "--overwrite=yes", "--password-file", file, container};
    };
    const std::string noTerminal = "vaultpack-cli: no terminal to ask for the password on; use --password-file\n";
    struct Step { std::string name; Arguments arguments; std::string input; int status; std::string errors; };
    const std::vector<Step> steps = {
        {"create, standard input with CR LF", {"create", "--encrypt", "--password-file", "-", container, "one.txt"},
         longest + "\r\nignored\n", 0, ""},
        {"wrong password", decrypt(password), "", 3, "Wrong password!\n"},
        {"decrypt, nobody to ask", {"decrypt", container}, "", 2, noTerminal},
        {"create, nobody to ask", {"create", "--encrypt", "x.ezc", "one.txt"}, "", 2, noTerminal},
        {"against the rule", {"create", "--encrypt", "--password-file", file("bad"), "x.ezc", "one.txt"}, "", 2,
         "vaultpack-cli: The password contains invalid characters.\n"},
        {"first line empty", decrypt(file("empty line")), "", 2, "vaultpack-cli: Please enter the password.\n"},
        {"too long", decrypt(file("too long")), "", 2, "vaultpack-cli: The password is longer than 16 characters.\n"},
        {"endless", decrypt("/dev/zero"), "", 2, "vaultpack-cli: The password contains invalid characters.\n"},
        {"missing", decrypt("/nonexistent"), "", 2,
         "vaultpack-cli: cannot open the password file /nonexistent: No such file or directory\n"},
        {"nothing encrypted: not read", {"create", "--zip", "--password-file", "/nonexistent", "x.zip", "one.txt"}, "",
         0, ""},
        {"no line end", decrypt(file("no line end")), "", 0, ""},
        {"standard input", decrypt("-"), longest + "\n", 0, ""},
    };
    for (const Step& step : steps) {
        const CliRun run = RunCli(step.arguments, source, step.input);
        EXPECT_EQ(run.status, step.status) << step.name;
        EXPECT_EQ(run.errors, step.errors) << step.name;
    }
    EXPECT_EQ(test::FolderEntries(source), (std::vector<std::string>{"docs", "one.txt", "x.zip"}));
    const Files restored = {{"one.ezc", ReadText(container)}, {"one.txt", ReadText(source / "one.txt")}};
    EXPECT_EQ(FileContents(target), restored) << "a refused password left a file behind";
}

// Every question about replacing a file, create's OUTPUT or what unzip or
// decrypt restore, follows --overwrite; asked with no terminal, it is answered no.
TEST_F(CliEndToEnd, OverwritePolicyAnswersAndNoTerminalMeansNo) {
    const auto out = Folder("out");
    ASSERT_EQ(RunCli({"create", "--zip", "../out/one.zip", "one.txt"}, source).status, 0);
    ASSERT_EQ(RunCli({"create", "--encrypt", "--password-file", password, "../out/one.ezc", "one.txt"}, source).status,
              0);
    // An archive is compared by what it lists: the access time it stores moves
    // whenever the source file is read.
    const auto holds = [&](const std::filesystem::path& file) {
        return file.extension() == ".zip" ? RunCli({"list", file.filename()}, file.parent_path()).output
                                          : ReadText(file);
    };
    // The command, where it runs, the file it would replace and what it would put there.
    struct Command { Arguments arguments; std::filesystem::path folder, file; std::string replacement; };
    const std::vector<Command> commands = {
        {{"create", "--zip", "../out/again.zip", "one.txt"}, source, out / "again.zip", holds(out / "one.zip")},
        {{"unzip", "one.zip"}, out, out / "one.txt", ReadText(source / "one.txt")},
        {{"decrypt", "--password-file", password, "one.ezc"}, out, out / "one.txt", ReadText(source / "one.txt")},
    };
    const std::vector<std::pair<Arguments, bool>> policies = {
        {{}, false}, {{"--overwrite=no"}, false}, {{"--overwrite", "yes"}, true}};
    for (const auto& [policy, replaces] : policies) {
        for (Command command : commands) {
            SCOPED_TRACE(command.arguments[0] + " " + (policy.empty() ? "ask" : policy.back()));
            test::WriteFile(command.file, std::string("older"));
            command.arguments.insert(command.arguments.begin() + 1, policy.begin(), policy.end());
            const CliRun run = RunCli(command.arguments, command.folder);
            EXPECT_EQ(run.status, 0) << run.errors;
            const bool kept = ReadText(command.file) == "older";
            EXPECT_EQ(kept, !replaces);
            if (replaces) {
                EXPECT_EQ(holds(command.file), command.replacement);
            }
            const bool told = run.errors.find("(no terminal to answer on: no)") != std::string::npos;
            EXPECT_EQ(told, policy.empty()) << run.errors;
        }
    }
}

// A name that is no UTF-8 comes back byte for byte; a name with a backslash,
// which archives take for a folder separator, is skipped and named, never
// turned into folders.
TEST_F(CliEndToEnd, FileNamesSurviveARoundTripOrAreSkipped) {
    const auto names = Folder("top/names");
    std::filesystem::create_directory(names / "back\\slash");
    for (const char* name : {"caf\xE9.txt", "a\\b.txt", "back\\slash/inner.txt"}) {
        test::WriteFile(names / name, std::string(name));
    }
    const CliRun created = RunCli({"create", "--zip", "../out.zip", "names"}, work / "top");
    ASSERT_EQ(created.status, 5) << created.errors;
    for (const char* skipped : {"a\\b.txt", "back\\slash"}) {
        EXPECT_NE(created.errors.find("Skipped, the name holds a backslash, which archives take for a folder "
                                      "separator: \"names/" + std::string(skipped) + "\""),
                  std::string::npos)
            << created.errors;
    }
    const auto restored = Folder("restored");
    ASSERT_EQ(RunCli({"unzip", "../out.zip", "."}, restored).status, 0);
    EXPECT_EQ(FileContents(restored), (Files{{"names/caf\xE9.txt", "caf\xE9.txt"}}));
}

// A file that cannot be opened (one the system refuses even to root) fails
// the run, and says why; --keep-going leaves it out, makes the archive of the
// rest and ends with a status of its own, also when the archive is then
// encrypted.
TEST_F(CliEndToEnd, CreateKeepsGoingPastAFileThatCannotBeOpened) {
    const std::filesystem::path unreadable = "/proc/sys/vm/compact_memory";
    if (!std::filesystem::is_regular_file(unreadable)) {
        GTEST_SKIP() << unreadable << " is not there";
    }
    const std::vector<Arguments> modes = {{"--zip", "out.zip"},
                                          {"--zip", "--encrypt", "--password-file", password, "out.ezc"}};
    for (const Arguments& mode : modes) {
        for (const bool keepGoing : {false, true}) {
            SCOPED_TRACE(mode.back() + (keepGoing ? " with --keep-going" : ""));
            Arguments create = {"create"};
            if (keepGoing) {
                create.push_back("--keep-going");
            }
            create.insert(create.end(), mode.begin(), mode.end());
            create.insert(create.end(), {"docs", unreadable.string()});
            const CliRun run = RunCli(create, source);
            EXPECT_EQ(run.status, keepGoing ? 5 : 1);
            EXPECT_NE(run.errors.find("Cannot open \"" + unreadable.string() + "\": Permission denied"),
                      std::string::npos)
                << run.errors;
            EXPECT_EQ(std::filesystem::exists(source / mode.back()), keepGoing);
        }
    }
    const std::string listed = RunCli({"list", "out.zip"}, source).output;
    EXPECT_EQ(std::regex_replace(listed, std::regex(".*  "), ""), "docs/a.txt\ndocs/sub/b.txt\n");
}

// A FIFO where a file would be written, or a link to one, is refused and left
// as it is, even when replacing is allowed.
TEST_F(CliEndToEnd, OnlyRegularFilesAreReplaced) {
    const auto out = Folder("out");
    ASSERT_EQ(RunCli({"create", "--zip", "../out/one.zip", "one.txt"}, source).status, 0);
    ASSERT_EQ(RunCli({"create", "--encrypt", "--password-file", password, "../out/one.ezc", "one.txt"}, source).status,
              0);
    ASSERT_EQ(::mkfifo((out / "pipe").c_str(), 0600), 0);
    const std::vector<std::pair<Arguments, std::string>> commands = {
        {{"create", "--zip", "pipe", "../source/one.txt"}, "pipe"},
        {{"unzip", "one.zip"}, "one.txt"},
        {{"decrypt", "--password-file", password, "one.ezc"}, "one.txt"},
    };
    for (const bool throughLink : {false, true}) {
        for (const auto& [arguments, target] : commands) {
            SCOPED_TRACE(arguments[0] + (throughLink ? " through a link" : ""));
            if (target != "pipe") {
                std::filesystem::remove(out / target);
                if (throughLink) {
                    std::filesystem::create_symlink("pipe", out / target);
                } else {
                    ASSERT_EQ(::mkfifo((out / target).c_str(), 0600), 0);
                }
            }
            Arguments command = arguments;
            command.insert(command.begin() + 1, "--overwrite=yes");
            const CliRun run = RunCli(command, out);
            EXPECT_EQ(run.status, 1);
            EXPECT_NE(run.errors.find(target + "\" is not a regular file, so it is not replaced"), std::string::npos)
                << run.errors;
            EXPECT_EQ(std::filesystem::symlink_status(out / target).type(),
                      throughLink && target != "pipe" ? std::filesystem::file_type::symlink
                                                      : std::filesystem::file_type::fifo);
        }
    }
    EXPECT_EQ(test::FolderEntries(out), (std::vector<std::string>{"one.ezc", "one.txt", "one.zip", "pipe"}));
}

TEST_F(CliEndToEnd, UsageErrorsExitTwoAndSayWhy) {
    std::filesystem::create_directory(source / "empty");
    std::filesystem::create_symlink("docs/sub/b.txt", source / "link.zip");
    const std::vector<std::pair<Arguments, std::string>> wrong = {
        {{}, "vaultpack-cli: no command given\nUsage: vaultpack-cli "},
        {{"decrypt", "--order", "zip-first", "c.ezc"}, "\nUsage: vaultpack-cli "},
        {{"create", "--zip", "out.zip", "one.txt", "absent"}, "vaultpack-cli: no such file or folder: \"absent\"\n"},
        {{"create", "--zip", "out.zip", "empty"}, "vaultpack-cli: You did not select any files\n"},
        {{"create", "--zip", "one.txt", "one.txt"}, "vaultpack-cli: the OUTPUT \"one.txt\" is also an ITEM\n"},
        {{"create", "--zip", "docs", "one.txt"}, "vaultpack-cli: the OUTPUT \"docs\" is a folder\n"},
        {{"create", "--zip", "--encrypt", "--order=encrypt-first", "x.ezc", "one.txt"},
         "vaultpack-cli: --order encrypt-first makes a ZIP archive, but the OUTPUT \"x.ezc\" is named as a container; "
         "name it \"x.zip\" or use --order zip-first\n"},
        {{"create", "--zip", "--encrypt", "--order=zip-first", "x.zip", "one.txt"},
         "vaultpack-cli: --order zip-first makes an encrypted container, but the OUTPUT \"x.zip\" is named as a ZIP "
         "archive; name it \"x.ezc\" or use --order encrypt-first\n"},
        {{"create", "--zip", "--overwrite=yes", "link.zip", "docs"},
         "vaultpack-cli: the OUTPUT \"link.zip\" is the file \"docs/sub/b.txt\" of an ITEM\n"},
    };
    for (const auto& [arguments, errors] : wrong) {
        const CliRun run = RunCli(arguments, source);
        EXPECT_EQ(run.status, 2) << errors;
        EXPECT_NE(run.errors.find(errors), std::string::npos) << run.errors;
    }
    EXPECT_EQ(test::FolderEntries(source), (std::vector<std::string>{"docs", "empty", "link.zip", "one.txt"}));
    EXPECT_EQ(ReadText(source / "link.zip"), "beta\n");

    EXPECT_EQ(RunCli({"--help"}, source).output.substr(0, 6), "Usage:");
    const std::string version = RunCli({"--version"}, source).output;
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(vaultpack-cli 1\.05\.\d{4}\.\d{4}\.\d{4}\n)"))) << version;
}

TEST_F(CliEndToEnd, HostileArchivesWriteNothingOutsideTheirFolder) {
    const auto inside = Folder("a/b");
    test::WriteRawZip(work / "a" / "evil.zip",
                      {{"fine.txt", "in"}, {"\x1b[2Jname", "x"}, {"../\x1b[2Jescape.txt", "out"}, {"/abs.txt", "abs"}});
    // "Continue with next file?" is no overwrite question: with no terminal
    // it is answered no, and the first refused entry ends the job.
    const CliRun unzipped = RunCli({"unzip", "--overwrite=yes", "../evil.zip", "."}, inside);
    EXPECT_EQ(unzipped.status, 1);
    EXPECT_NE(unzipped.errors.find("(../?[2Jescape.txt)\nContinue with next file?"), std::string::npos)
        << unzipped.errors;
    EXPECT_EQ(unzipped.output, "2 out of 4 files have been unzipped successfully\n");
    EXPECT_EQ(test::FolderEntries(work / "a"), (std::vector<std::string>{"b", "evil.zip"}));
    EXPECT_EQ(test::FolderEntries(inside), (std::vector<std::string>{"\x1b[2Jname", "fine.txt"}));

    const CliRun listed = RunCli({"list", "evil.zip"}, work / "a");
    EXPECT_EQ(listed.status, 0);
    EXPECT_NE(listed.output.find("  ?[2Jname\n"), std::string::npos) << listed.output;

    // --keep-going goes on past a refused entry; the run still fails.
    test::WriteRawZip(work / "a" / "climb.zip", {{"../climb.txt", "out"}, {"after.txt", "after"}});
    for (const bool keepGoing : {false, true}) {
        Arguments unzip = {"unzip", (work / "a" / "climb.zip").string(), "."};
        if (keepGoing) {
            unzip.insert(unzip.begin() + 1, "--keep-going");
        }
        const CliRun run = RunCli(unzip, Folder("climb" + std::to_string(keepGoing)));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, std::string(keepGoing ? "1" : "0") + " out of 2 files have been unzipped successfully\n");
        EXPECT_NE(run.errors.find(keepGoing ? "(--keep-going: yes)" : "(no terminal to answer on: no)"),
                  std::string::npos)
            << run.errors;
    }

    test::WriteFile(work / "a" / "not.zip", std::string("plain text"));
    const CliRun notListed = RunCli({"list", "not.zip"}, work / "a");
    EXPECT_EQ(notListed.status, 1);
    EXPECT_EQ(notListed.errors, "Failed to open zip file\nZipfile is corrupt or not a zipfile\nnot.zip\n");
    const CliRun notZip = RunCli({"unzip", "not.zip"}, work / "a");
    EXPECT_EQ(notZip.status, 1);
    EXPECT_EQ(notZip.errors, "Failed to open zip file\n\"not.zip\" is not a ZIP archive, or its directory is damaged\n");
}

TEST_F(CliEndToEnd, HostileContainersAreRefusedOrKeptInTheirFolder) {
    const auto inside = Folder("c/d");
    const auto decrypt = [&](const std::string& container) {
        return RunCli({"decrypt", "--overwrite=yes", "--password-file", password, container}, inside);
    };
    // A stored name that climbs out: the plaintext still lands beside the container.
    ASSERT_TRUE(EncryptFile(source / "docs" / "a.txt", inside / "climb.ezc", "Secret", "", false).Completed());
    std::vector<unsigned char> bytes = test::ReadFile(inside / "climb.ezc");
    const std::string climbing = "../../climbed.txt";
    std::fill_n(bytes.begin() + EncryptedFileHeader::kStoredNameOffset, EncryptedFileHeader::kStoredNameSize, 0);
    std::copy(climbing.begin(), climbing.end(), bytes.begin() + EncryptedFileHeader::kStoredNameOffset);
    test::WriteFile(inside / "climb.ezc", bytes);
    EXPECT_EQ(decrypt("climb.ezc").status, 0);
    EXPECT_EQ(ReadText(inside / "climbed.txt"), "alpha\n");

    // An archive inside a container, with an entry that climbs out.
    test::WriteRawZip(work / "packed.zip", {{"kept.txt", "in"}, {"../../../out.txt", "out"}});
    ASSERT_TRUE(EncryptFile(work / "packed.zip", inside / "packed.ezc", "Secret", "", true).Completed());
    const CliRun unpacked = decrypt("packed.ezc");
    EXPECT_EQ(unpacked.status, 1);
    EXPECT_NE(unpacked.output.find("1 out of 2 files"), std::string::npos) << unpacked.output;
    EXPECT_NE(unpacked.errors.find("../../../out.txt"), std::string::npos) << unpacked.errors;
    EXPECT_EQ(test::FolderEntries(work / "c"), std::vector<std::string>{"d"});
    EXPECT_EQ(test::FolderEntries(inside),
              (std::vector<std::string>{"climb.ezc", "climbed.txt", "kept.txt", "packed.ezc"}));

    bytes.resize(EncryptedFileHeader::kSize + 4);  // cut short
    test::WriteFile(inside / "short.ezc", bytes);
    EXPECT_EQ(decrypt("short.ezc").status, 1);
    EXPECT_EQ(ReadText(inside / "climbed.txt"), "alpha\n");  // what it would have replaced stays
    const CliRun notContainer = RunCli({"info", "climbed.txt"}, inside);
    EXPECT_EQ(notContainer.status, 1);
    EXPECT_EQ(notContainer.errors, "Cannot decrypt; file is not an encrypted file.\nclimbed.txt\n");
}

// A person at the terminal types passwords unseen and answers questions until
// an answer fits; the end of input cancels. Every typed password holds
// "Hidden", which the terminal must never show.
TEST_F(CliEndToEnd, TerminalSessionsAskUntilTheInputFits) {
    ASSERT_EQ(RunCli({"create", "--zip", "one.zip", "one.txt"}, source).status, 0);
    const std::string wrong = "Wrong password!\r\nHint: h?\r\nEnter Password: ";
    using Exchange = std::vector<std::pair<std::string, std::string>>;  // what the program shows, what is typed then
    struct Session { std::string name; Arguments arguments; Exchange exchange; int status; };
    const std::vector<Session> sessions = {
        {"new password: empty, unlike, alike", {"create", "--encrypt", "--hint", "h\x1b", "one.ezc", "one.txt"},
         {{"Enter Password: ", "\n"}, {"Retype Password: ", "\n"},
          {"Please enter the password.\r\nEnter Password: ", "Hidden1\n"}, {"Retype Password: ", "Hidden2\n"},
          {"Passwords do not match.\r\nEnter Password: ", "Hidden1\n"}, {"Retype Password: ", "Hidden1\n"},
          {"] 100% Encrypting'one.txt'\x1b[K\r\x1b[KYour Encrypted Archive has been successfully created\r\n", ""}},
         0},
        {"new password against the rule three times", {"create", "--encrypt", "x.ezc", "one.txt"},
         {{"Enter Password: ", "Hidden 1\n"}, {"Retype Password: ", "Hidden 1\n"}, {"Enter Password: ", "\n"},
          {"Retype Password: ", "\n"}, {"Enter Password: ", "\n"}, {"Retype Password: ", "\n"},
          {"\r\nvaultpack-cli: Please enter the password.\r\n", ""}},
         2},
        {"three wrong passwords", {"decrypt", "one.ezc"},
         {{"Hint: h?\r\nEnter Password: ", "Hidden2\n"}, {wrong, "Hidden 1\n"},
          {"invalid characters.\r\nEnter Password: ", "Hidden3\n"}, {wrong, "Hidden4\n"}, {"Wrong password!\r\n", ""}},
         3},
        {"container password against the rule three times", {"decrypt", "one.ezc"},
         {{"Enter Password: ", "Hidden 1\n"}, {"Enter Password: ", "\n"}, {"Enter Password: ", "Hidden 2\n"},
          {"\r\nvaultpack-cli: The password contains invalid characters.\r\n", ""}},
         2},
        {"Ctrl-D at the password", {"decrypt", "one.ezc"}, {{"Enter Password: ", "\x04"}}, 4},
        {"answers until one fits", {"decrypt", "one.ezc"},
         {{"Enter Password: ", "Hidden1\n"},
          {"\"one.txt\"\r\n already exists, overwrite it?\r\n[y]es, [n]o, [a]ll or n[o]ne? ", "c\n"},
          {"c\r\n[y]es, [n]o, [a]ll or n[o]ne? ", "No\n"}},
         0},
        {"Ctrl-C at a question", {"decrypt", "one.ezc"},
         {{"Enter Password: ", "Hidden1\n"}, {"already exists, overwrite it?\r\n[y]es, [n]o, [a]ll or n[o]ne? ", "\x03"}},
         4},
        {"cancel among three answers, the progress line erased for the question", {"unzip", "one.zip"},
         {{"\r\x1b[K\"./one.txt\" already exists, overwrite it?\r\n[y]es, [n]o, [a]ll, n[o]ne or [c]ancel? ", "C\n"}},
         4},
    };
    const std::string original = ReadText(source / "one.txt");
    for (const Session& session : sessions) {
        SCOPED_TRACE(session.name);
        CliOnTerminal terminal(session.arguments, source);
        for (const auto& [shown, typed] : session.exchange) {
            ASSERT_TRUE(terminal.Expect(shown)) << terminal.transcript;
            terminal.Type(typed);
        }
        EXPECT_EQ(terminal.Wait(), session.status) << terminal.transcript;
        EXPECT_EQ(terminal.transcript.find("Hidden"), std::string::npos) << terminal.transcript;
    }
    EXPECT_EQ(ReadText(source / "one.txt"), original);
    EXPECT_FALSE(std::filesystem::exists(source / "x.ezc"));
}

// The files below folder that process has open, as the system names them
// (a file without a name yet ends in " (deleted)").
std::vector<std::string> FilesOpenIn(pid_t process, const std::filesystem::path& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(process) + "/fd", error)) {
        const std::string file = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && file.starts_with(folder.string() + "/")) {
            files.push_back(file);
        }
    }
    return files;
}

// Signals while a large entry replaces an older file: Ctrl-C stops the job
// within the entry, SIGTERM and SIGHUP end the program at once. The older
// file stays and no temporary file is left.
TEST_F(CliEndToEnd, SignalsStopTheJobAndLeaveNoTemporaryFile) {
    constexpr std::uintmax_t kBigSize = std::uintmax_t{160} << 20;
    test::WriteFile(source / "big.bin", std::string());
    std::filesystem::resize_file(source / "big.bin", kBigSize);
    ASSERT_EQ(RunCli({"create", "--zip", "big.zip", "big.bin", "one.txt"}, source).status, 0);
    struct Row { std::string name; int signal; int status; std::string output; };
    const std::vector<Row> rows = {
        {"Ctrl-C", SIGINT, 4, "0 out of 2 files have been unzipped successfully\n"},
        {"SIGTERM", SIGTERM, 128 + SIGTERM, ""},
        {"SIGHUP", SIGHUP, 128 + SIGHUP, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto target = Folder(row.name);
        test::WriteFile(target / "big.bin", std::string("older"));
        test::TempDir capture;
        const pid_t process = StartCli({"unzip", "--overwrite=yes", (source / "big.zip").string()}, target, capture);
        // The entry's file is open, still without a name, once its extraction has begun.
        const auto writing = [&] { return !FilesOpenIn(process, target).empty(); };
        for (int wait = 0; wait < 2000 && !writing(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        // The signal must come while the file is being written, or the test shows nothing.
        const std::vector<std::string> openBeforeSignal = FilesOpenIn(process, target);
        const std::vector<std::string> beforeSignal = test::FolderEntries(target);
        ::kill(process, row.signal);
        const CliRun run = WaitForCli(process, capture);
        ASSERT_EQ(openBeforeSignal.size(), 1u);
        EXPECT_EQ(beforeSignal, std::vector<std::string>{"big.bin"});
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.output, row.output);
        EXPECT_EQ(test::FolderEntries(target), std::vector<std::string>{"big.bin"});
        EXPECT_EQ(ReadText(target / "big.bin"), "older");
    }
}

// Ending at once in the middle of many small entries in many folders, which
// worker threads make ahead of the entry being reported: what stays is exactly
// the entries before some point, complete, as extracting one by one would
// leave, with at most the folder of the entry after them, and no more.
TEST_F(CliEndToEnd, EndingAtOnceLeavesOnlyAPrefixOfTheEntries) {
    std::vector<test::RawEntry> entries;
    for (int index = 0; index < 20000; ++index) {
        char name[24];
        std::snprintf(name, sizeof name, "d%04d/f%d", index / 10, index % 10);
        entries.push_back({name, "entry " + std::string(name) + "\n"});
    }
    test::WriteRawZip(source / "many.zip", entries);
    const auto target = Folder("many");
    test::TempDir capture;
    const pid_t process = StartCli({"unzip", (source / "many.zip").string()}, target, capture);
    for (int wait = 0; wait < 2000 && !std::filesystem::exists(target / "d0020/f0"); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(process, SIGTERM);
    const CliRun run = WaitForCli(process, capture);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    std::set<std::string> folders;
    std::size_t files = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(target)) {
        const std::string name = item.path().lexically_relative(target).string();
        if (item.is_directory()) {
            folders.insert(name);
        } else {
            ++files;
        }
    }
    ASSERT_LT(files, entries.size());
    for (std::size_t index = 0; index < files; ++index) {
        EXPECT_EQ(ReadText(target / entries[index].name), entries[index].data) << entries[index].name;
    }
    for (const std::string& folder : folders) {
        EXPECT_LE(folder, entries[files].name.substr(0, 5)) << "a folder beyond the next entry's";
    }
}

}  // namespace
}  // namespace vaultpack
