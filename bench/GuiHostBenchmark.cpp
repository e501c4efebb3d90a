// A 256 MiB decryption through the desktop program's hosts (the job on its
// thread, every call handed to the GUI thread, the progress window drawn
// offscreen) beside the same decryption by vaultpack-cli, in one run. The
// desktop program should cost no more than a few percent over the terminal.
//
//   build/release/bench/gui_host_bench [runs]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "crypto/EncryptFile.h"
#include "jobs/JobRunner.h"
#include "jobs/Jobs.h"
#include "ui/DecryptionPasswordDialog.h"
#include "ui/DialogJobHost.h"
#include "ui/QtJobHost.h"
#include "ui/ProgressDialog.h"
#include "ui/QtPlatformPickers.h"

namespace {

using namespace vaultpack;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kSize = 256u << 20;
const std::string kPassword = "Bench-Pa55";

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Types the password into the password dialog and confirms every message box,
// as soon as they are up.
void AnswerDialogs() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<DecryptionPasswordDialog*>(modal)) {
        dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText(QString::fromStdString(kPassword));
        dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->buttons().front()->click();
    }
}

double DecryptThroughDesktopHosts(const std::filesystem::path& container, const MessageCatalogue& catalogue,
                                  PlatformPickers& pickers, ProgressDialog& progress) {
    QEventLoop loop;
    auto dialogs = std::make_shared<DialogJobHost>(catalogue, pickers, progress, nullptr,
                                                   [&loop](const JobCompletion&) { loop.quit(); });
    const FileJobParams params{{container}, {}, false};
    const Clock::time_point start = Clock::now();
    StartJob(JobKind::Decrypt, std::make_shared<QtJobHost>(dialogs),
             [params](JobHost& host) { return RunDecryptJob(params, host); });
    loop.exec();
    return Seconds(start);
}

double DecryptThroughCli(const std::filesystem::path& container, const std::filesystem::path& passwordFile) {
    const std::string command = std::string("'") + VAULTPACK_CLI_PATH + "' decrypt --overwrite yes --password-file '" +
                                passwordFile.string() + "' '" + container.string() + "' >/dev/null 2>&1";
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "vaultpack-cli failed\n");
        std::exit(1);
    }
    return Seconds(start);
}

}  // namespace

// A container of `size` random bytes in folder, named after its size.
std::filesystem::path MakeContainer(const std::filesystem::path& folder, std::size_t size) {
    const std::filesystem::path plain = folder / ("data-" + std::to_string(size) + ".bin");
    std::vector<char> bytes(size);
    std::mt19937 generator(7);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(generator()); });
    std::ofstream(plain, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::filesystem::path container = folder / ("data-" + std::to_string(size) + ".ezc");
    if (!EncryptFile(plain, container, kPassword, "", false).Completed()) {
        std::fprintf(stderr, "cannot make the container\n");
        std::exit(1);
    }
    std::filesystem::remove(plain);
    return container;
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vaultpack-gui-host-bench";
    std::filesystem::create_directories(folder);
    const std::filesystem::path passwordFile = folder / "password";
    std::ofstream(passwordFile) << kPassword << '\n';

    const MessageCatalogue catalogue(MessageCatalogue::Language::English);
    QtPlatformPickers pickers;
    ProgressDialog progress;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, AnswerDialogs);
    answerer.start(20);

    // The whole run, and the part the size adds: a one-byte container shows
    // the fixed cost of each way (a process start, or a dialog and a box).
    struct Best {
        double cli = 1e9;
        double desktop = 1e9;
    };
    Best best[2];
    const std::size_t sizes[2] = {1, kSize};
    for (int which = 0; which < 2; ++which) {
        const std::filesystem::path container = MakeContainer(folder, sizes[which]);
        const std::filesystem::path plain = folder / ("data-" + std::to_string(sizes[which]) + ".bin");
        for (int run = 0; run < runs; ++run) {
            std::filesystem::remove(plain);
            best[which].cli = std::min(best[which].cli, DecryptThroughCli(container, passwordFile));
            std::filesystem::remove(plain);
            best[which].desktop = std::min(best[which].desktop,
                                           DecryptThroughDesktopHosts(container, catalogue, pickers, progress));
        }
    }
    std::filesystem::remove_all(folder);
    std::printf("decrypt, best of %d: 1 byte: vaultpack-cli %.3f s, desktop hosts %.3f s\n", runs, best[0].cli,
                best[0].desktop);
    std::printf("decrypt, best of %d: 256 MiB: vaultpack-cli %.3f s, desktop hosts %.3f s, ratio %.3f\n", runs,
                best[1].cli, best[1].desktop, best[1].desktop / best[1].cli);
    const double cliWork = best[1].cli - best[0].cli;
    const double desktopWork = best[1].desktop - best[0].desktop;
    std::printf("the 256 MiB beyond the fixed cost: vaultpack-cli %.3f s, desktop hosts %.3f s, ratio %.3f\n", cliWork,
                desktopWork, desktopWork / cliWork);
    return 0;
}
