// vaultpack: the desktop program. The arguments decide what this run is:
// print the version, open the main window (normally or to decrypt one file
// and close), open an archive window alone, uninstall, or nothing.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>

#include "app/MessageCatalogue.h"
#include "app/StartupArguments.h"
#include "app/TerminationSignals.h"
#include "app/Uninstall.h"
#include "app/VersionText.h"
#include "files/AllocatorArenas.h"
#include "ui/ArchiveWindow.h"
#include "ui/MainDialog.h"
#include "ui/PlatformPickers.h"
#include "ui/QtPlatformPickers.h"
#include "ui/QtTranslations.h"

namespace {

using namespace vaultpack;

// Where the version goes: the terminal, or whatever reads the program's
// output (a pipe or a file). A program started from the desktop has neither.
bool HasConsole() {
    struct stat status {};
    return ::isatty(STDOUT_FILENO) == 1 ||
           (::fstat(STDOUT_FILENO, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISREG(status.st_mode)));
}

// Whether a window can be shown: a display server to talk to, or a Qt
// platform chosen by name that needs none (offscreen, vnc). Without either,
// Qt would abort the program as it starts.
bool HasDisplay() {
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value != nullptr ? value : "");
    };
    const std::string_view platform = variable("QT_QPA_PLATFORM");
    const bool x11 = !variable("DISPLAY").empty(), wayland = !variable("WAYLAND_DISPLAY").empty();
    if (platform.starts_with("xcb")) {
        return x11;
    }
    if (platform.starts_with("wayland")) {
        return wayland;
    }
    return !platform.empty() || x11 || wayland;
}

// What a run that needs a window does without a display: says why, after
// the text it would have shown (when it has one), on standard error.
int NoDisplay(const MessageCatalogue& catalogue, const std::string& text = {}) {
    if (!text.empty()) {
        std::cerr << text << '\n';
    }
    std::cerr << catalogue.Load(MessageId::NoDisplay) << std::endl;
    return EXIT_FAILURE;
}

int ShowVersion(int argc, char** argv) {
    const std::string version = ProgramVersionText().DottedVersion();
    if (HasConsole()) {
        std::cout << version;
        if (::isatty(STDIN_FILENO) == 1) {
            std::cout << std::flush;
            std::string line;
            std::getline(std::cin, line);  // the key the user presses ends the line
        } else {
            std::cout << '\n';
        }
        std::cout << std::flush;
        return EXIT_SUCCESS;
    }
    if (!HasDisplay()) {
        return NoDisplay(MessageCatalogue(MessageCatalogue::SystemLanguage()), version);
    }
    QApplication application(argc, argv);
    QMessageBox::warning(nullptr, QString::fromStdString(std::filesystem::path(argv[0]).stem().string()),
                         QString::fromStdString(version));
    return EXIT_SUCCESS;
}

// The final message is shown in a message box whenever there is a display:
// started from a menu or a file manager, the program's output goes to a log
// nobody reads. A terminal gets the text as well.
int RunUninstall(int argc, char** argv) {
    const std::vector<MessageId> paragraphs = Uninstall(CurrentUninstallTarget());
    const MessageCatalogue catalogue(MessageCatalogue::SystemLanguage());
    std::string text;
    for (const MessageId paragraph : paragraphs) {
        text += (text.empty() ? "" : "\n\n") + catalogue.Load(paragraph);
    }
    if (!HasDisplay()) {
        return NoDisplay(catalogue, text);
    }
    if (::isatty(STDOUT_FILENO) == 1) {
        std::cout << text << std::endl;
    }
    QApplication application(argc, argv);
    LoadQtTranslations(application, catalogue.CurrentLanguage());
    QMessageBox::information(nullptr, QString::fromStdString(catalogue.Load(MessageId::CaptionInformation)),
                             QString::fromStdString(text));
    return EXIT_SUCCESS;
}

// Runs the desktop program with the window that `start` shows; it ends when
// `start` says so, and then at once, also while a job still runs: that job's
// temporary files go, and no destructor races the job's thread.
template <typename Start>
int RunDesktopProgram(int argc, char** argv, Start start) {
    const MessageCatalogue catalogue(MessageCatalogue::SystemLanguage());
    if (!HasDisplay()) {
        return NoDisplay(catalogue);
    }
    // A signal (a logout, kill, Ctrl-C in the terminal) ends the program as
    // closing its window does: running jobs end and their files go.
    InstallTerminationHandlers();
    QApplication application(argc, argv);
    // The first window alone decides when the program ends; its dialogs and
    // the progress windows come and go.
    QApplication::setQuitOnLastWindowClosed(false);
    LoadQtTranslations(application, catalogue.CurrentLanguage());
    QtPlatformPickers pickers;
    // exit, not quit: quit would first ask every window to close, and a
    // progress window answers that by cancelling its job and staying open.
    const auto end = [] { QCoreApplication::exit(EXIT_SUCCESS); };
    const auto window = start(catalogue, pickers, end);
    QApplication::exec();
    std::fflush(nullptr);
    EndProgramNow(EXIT_SUCCESS);
}

int RunMainWindow(int argc, char** argv, const StartupDecision& decision) {
    return RunDesktopProgram(argc, argv, [&](const MessageCatalogue& catalogue, PlatformPickers& pickers, auto end) {
        auto window = std::make_unique<MainDialog>(catalogue, pickers);
        QObject::connect(window.get(), &QDialog::finished, end);
        // Modeless, so that no window of the program blocks the progress windows.
        window->show();
        if (decision.outcome == StartupDecision::Outcome::DecryptAtStart) {
            window->DecryptAtStartup(decision.file);
        }
        return window;
    });
}

// "--open FILE": the archive window alone; the program ends when it closes.
int RunArchiveWindow(int argc, char** argv, const StartupDecision& decision) {
    return RunDesktopProgram(argc, argv, [&](const MessageCatalogue& catalogue, PlatformPickers& pickers, auto end) {
        ArchiveWindow* window = ArchiveWindow::Open(catalogue, pickers, decision.file);
        QObject::connect(window, &QObject::destroyed, end);
        return std::unique_ptr<QWidget>();  // the window deletes itself
    });
}

}  // namespace

int main(int argc, char** argv) {
    ShareOneAllocatorArena();
    ProgramVersionText().AppendBuildStamp();
    const StartupDecision decision = DecideStartup(std::vector<std::string>(argv + 1, argv + argc));
    switch (decision.outcome) {
        case StartupDecision::Outcome::PrintVersion: return ShowVersion(argc, argv);
        case StartupDecision::Outcome::MainWindow:
        case StartupDecision::Outcome::DecryptAtStart: return RunMainWindow(argc, argv, decision);
        case StartupDecision::Outcome::OpenArchive: return RunArchiveWindow(argc, argv, decision);
        case StartupDecision::Outcome::Uninstall: return RunUninstall(argc, argv);
        case StartupDecision::Outcome::Nothing: break;
    }
    return EXIT_SUCCESS;
}
