// Renders each window of the program to a PNG file in the language the
// environment asks for, so their look can be checked in every language
// without a display:  vaultpack_screenshots <output folder> [window ...]

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QDir>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QTableView>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/AmountText.h"
#include "app/MessageCatalogue.h"
#include "app/VersionText.h"
#include "ui/AboutDialog.h"
#include "ui/ArchiveBuilderDialog.h"
#include "ui/ArchiveModels.h"
#include "ui/ArchiveWindow.h"
#include "ui/ArchiveOptionsDialog.h"
#include "ui/CatalogueText.h"
#include "ui/DecryptionPasswordDialog.h"
#include "ui/EncryptionPasswordDialog.h"
#include "ui/JobMessageBox.h"
#include "ui/MainDialog.h"
#include "ui/ProgramIcons.h"
#include "ui/ProgressDialog.h"
#include "ui/QtPlatformPickers.h"
#include "ui/controls/IconButton.h"
#include "zip/ZipWriter.h"

namespace vaultpack {
namespace {

// One window to render: a file name stem and how to build it in a sample
// state. Add a row here for every new window.
struct ScreenshotWindow {
    const char* name;
    std::function<std::unique_ptr<QWidget>(const MessageCatalogue&)> make;
};

std::unique_ptr<QWidget> MakeEncryptionPassword(const MessageCatalogue& catalogue) {
    auto dialog = std::make_unique<EncryptionPasswordDialog>(catalogue);
    dialog->findChild<QLineEdit*>("passwordEdit")->setText(QStringLiteral("secret"));
    dialog->findChild<QLineEdit*>("hintEdit")->setText(QStringLiteral("the usual one"));
    return dialog;
}

std::unique_ptr<QWidget> MakeDecryptionPassword(const MessageCatalogue& catalogue) {
    auto dialog = std::make_unique<DecryptionPasswordDialog>(catalogue);
    dialog->SetHint("the usual one");
    return dialog;
}

// Gives button the focus as Tab would, once its window is up and active:
// focus given to a window before that arrives later for another reason.
void FocusByKeyboard(QWidget* button) {
    auto* retry = new QTimer(button);
    retry->setInterval(10);
    QObject::connect(retry, &QTimer::timeout, button, [button, retry] {
        button->activateWindow();
        if (button->isActiveWindow()) {
            // The window may have given it the focus already, for another reason.
            button->clearFocus();
            button->setFocus(Qt::TabFocusReason);
            retry->stop();
        }
    });
    retry->start();
}

// A progress window in the middle of a run.
std::unique_ptr<QWidget> MakeProgress(const MessageCatalogue& catalogue, MessageId title, const std::string& status,
                                      quint32 high, quint32 position, const ProgressFigures& figures) {
    auto dialog = std::make_unique<ProgressDialog>();
    dialog->SetTitle(CatalogueText(catalogue, title));
    dialog->SetStatus(QString::fromStdString(status));
    dialog->SetCancelCaption(CatalogueText(catalogue, MessageId::Cancel));
    dialog->SetRange(high);
    dialog->SetPosition(position);
    dialog->SetDetails(QString::fromStdString(ProgressFiguresText(catalogue, figures)));
    return dialog;
}

// One large file: the rate in bytes, no count.
std::unique_ptr<QWidget> MakeDecryptProgress(const MessageCatalogue& catalogue) {
    return MakeProgress(catalogue, MessageId::DecryptingProgressTitle,
                        catalogue.FormatPrintfStyle(MessageId::StatusDecrypting,
                                                    "/home/user/Documents/Quarterly report 2024 (final).ezc"),
                        100, 40, {0, 1, 40, 212'400'000.0, true, 4.2});
}

// Several items being zipped: the count, and the rate in bytes.
std::unique_ptr<QWidget> MakeCreateProgress(const MessageCatalogue& catalogue) {
    return MakeProgress(catalogue, MessageId::CreatingArchiveTitle,
                        catalogue.Load(MessageId::StatusZipping) + " \"...ts/Photos/2024/harbour at dawn.png\"", 100,
                        63, {318, 1000, 63, 48'700'000.0, true, 3725.0});
}

// An unzip of many entries: the rate in files.
std::unique_ptr<QWidget> MakeUnzipProgress(const MessageCatalogue& catalogue) {
    return MakeProgress(catalogue, MessageId::UnzippingProgressTitle,
                        catalogue.FormatPrintfStyle(MessageId::StatusUnzipping,
                                                    "linux/drivers/gpu/drm/amd/display/dc/core/dc.c"),
                        60000, 21877, {21877, 60000, 36, 1520.0, false, 25.1});
}

// The main window with its first button focused from the keyboard.
std::unique_ptr<QWidget> MakeMain(const MessageCatalogue& catalogue) {
    static QtPlatformPickers pickers;  // never asked while the window is only drawn
    auto window = std::make_unique<MainDialog>(catalogue, pickers);
    FocusByKeyboard(window->findChildren<IconButton*>().value(0));
    return window;
}

// The builder over a small sample tree of this program's own kind of files.
std::unique_ptr<QWidget> MakeBuilder(const MessageCatalogue& catalogue) {
    static QtPlatformPickers pickers;
    static ProgressDialog progress;
    static const QTemporaryDir sample;
    const std::filesystem::path root = sample.path().toStdString();
    const std::pair<const char*, std::size_t> files[] = {
        {"Reports/2024/summary.txt", 1200},     {"Reports/2024/figures.csv", 48213},
        {"Reports/notes.md", 3},                {"Reports/Photos/harbour.png", 1503221},
        {"Reports/Photos/lighthouse.jpg", 998}, {"Reports/budget.pdf", 77512},
    };
    for (const auto& [name, size] : files) {
        std::filesystem::create_directories((root / name).parent_path());
        std::ofstream(root / name) << std::string(size, 'x');
    }
    auto builder = std::make_unique<ArchiveBuilderDialog>(catalogue, pickers, progress);
    builder->AddDroppedPaths({root / "Reports", root / "Reports/budget.pdf"});
    builder->resize(640, 360);
    return builder;
}

// The options dialog with Zip checked and then, when given, the box named
// `thenCheck`, whose password dialog is answered once it is up.
std::unique_ptr<QWidget> MakeOptions(const MessageCatalogue& catalogue, const char* thenCheck) {
    static QtPlatformPickers pickers;
    static ProgressDialog progress;
    auto options = std::make_unique<ArchiveOptionsDialog>(catalogue, pickers, progress,
                                                          std::vector<ArchiveItem>{{"report.pdf", "", "/tmp/report.pdf"}});
    options->findChild<QCheckBox*>(QStringLiteral("zipCheckBox"))->click();
    if (thenCheck != nullptr) {
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<EncryptionPasswordDialog*>(QApplication::activeModalWidget());
            for (const char* field : {"passwordEdit", "retypedPasswordEdit"}) {
                dialog->findChild<QLineEdit*>(QLatin1String(field))->setText(QStringLiteral("pw"));
            }
            dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        options->findChild<QCheckBox*>(QLatin1String(thenCheck))->click();
    }
    return options;
}

std::unique_ptr<QWidget> MakeAbout(const MessageCatalogue& catalogue) {
    return std::make_unique<AboutDialog>(catalogue);
}

// The main window's three buttons: the first one focused from the keyboard,
// the middle one disabled, the last one hovered.
std::unique_ptr<QWidget> MakeIconButtons(const MessageCatalogue& catalogue) {
    auto row = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(row.get());
    const std::pair<const char*, MessageId> buttons[] = {
        {icon_names::kCreateArchive, MessageId::CreateArchiveButton},
        {icon_names::kDecrypt, MessageId::DecryptFileButton},
        {icon_names::kUnzip, MessageId::UnzipFileButton},
    };
    std::vector<IconButton*> made;
    for (const auto& [icon, caption] : buttons) {
        made.push_back(new IconButton(ProgramIcon(icon), CatalogueText(catalogue, caption), row.get()));
        layout->addWidget(made.back());
    }
    made[1]->setEnabled(false);
    FocusByKeyboard(made[0]);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(made[2], &enter);
    return row;
}

// Every program icon at 48 and 32 pixels, on a light and on a dark ground.
std::unique_ptr<QWidget> MakeProgramIcons(const MessageCatalogue&) {
    const char* const names[] = {icon_names::kApplication, icon_names::kCreateArchive, icon_names::kDecrypt,
                                 icon_names::kUnzip,       icon_names::kAddFiles,      icon_names::kAddFolders,
                                 icon_names::kDelete,      icon_names::kCreate};
    auto sheet = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(sheet.get());
    int row = 0;
    for (const char* ground : {"#f4f4f4", "#202124"}) {
        for (const int extent : {48, 32}) {
            int column = 0;
            for (const char* name : names) {
                auto* label = new QLabel(sheet.get());
                label->setStyleSheet(QStringLiteral("background: %1; padding: 6px;").arg(QLatin1String(ground)));
                label->setPixmap(ProgramIcon(QLatin1String(name)).pixmap(QSize(extent, extent)));
                grid->addWidget(label, row, column++);
            }
            ++row;
        }
    }
    grid->setSpacing(0);
    return sheet;
}

// The archive window on a sample archive of folders and files, with two
// rows selected.
std::unique_ptr<QWidget> MakeArchiveWindow(const MessageCatalogue& catalogue) {
    static QTemporaryDir folder;
    static QtPlatformPickers pickers;
    const std::filesystem::path root = folder.path().toStdString();
    const std::filesystem::path archive = root / "holiday-2026.zip";
    if (!std::filesystem::exists(archive)) {
        const std::unique_ptr<ZipWriter> writer = ZipWriter::Create(archive);
        const std::pair<const char*, std::size_t> files[] = {
            {"Photos/beach.jpg", 48000}, {"Photos/harbour.jpg", 52000}, {"Photos/写真/temple.jpg", 61000},
            {"Reports/budget.pdf", 23000}, {"Reports/summary.txt", 5200}, {"notes.txt", 900}};
        for (const auto& [name, size] : files) {
            const std::filesystem::path source = root / "source" / name;
            std::filesystem::create_directories(source.parent_path());
            std::ofstream(source) << std::string(size, 'v') + name;
            writer->AddFile(name, source);
        }
        writer->Close();
    }
    ArchiveWindow* window = ArchiveWindow::Open(catalogue, pickers, archive);
    QEventLoop loop;
    QObject::connect(window, &ArchiveWindow::Opened, &loop, &QEventLoop::quit);
    loop.exec();
    window->ListView()->selectRow(1);
    window->ListView()->selectionModel()->select(window->List()->index(2, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return std::unique_ptr<QWidget>(window);
}

// A job's question as its message box shows it.
std::unique_ptr<QWidget> MakeQuestion(const MessageCatalogue& catalogue, MessageButtons buttons, MessageLine line) {
    return MakeJobMessageBox(nullptr, catalogue,
                             {MessageId::CaptionQuestion, buttons, MessageOwner::Progress, {std::move(line)}});
}

const ScreenshotWindow kWindows[] = {
    {"main", MakeMain},
    {"builder", MakeBuilder},
    {"options", [](const MessageCatalogue& catalogue) { return MakeOptions(catalogue, nullptr); }},
    {"options-order", [](const MessageCatalogue& catalogue) { return MakeOptions(catalogue, "encryptCheckBox"); }},
    {"options-aes", [](const MessageCatalogue& catalogue) { return MakeOptions(catalogue, "aesCheckBox"); }},
    {"encryption-password", MakeEncryptionPassword},
    {"decryption-password", MakeDecryptionPassword},
    {"archive-password",
     [](const MessageCatalogue& catalogue) -> std::unique_ptr<QWidget> {
         auto dialog = std::make_unique<DecryptionPasswordDialog>(catalogue);
         dialog->SetForArchive(true);
         return dialog;
     }},
    {"progress", MakeDecryptProgress},
    {"progress-create", MakeCreateProgress},
    {"progress-unzip", MakeUnzipProgress},
    {"about", MakeAbout},
    {"archive-window", MakeArchiveWindow},
    {"overwrite-question",
     [](const MessageCatalogue& catalogue) {
         return MakeQuestion(catalogue, MessageButtons::YesNoAllCancel,
                             MessageLine::Text(MessageId::UnzipOverwriteQuestion, {"/home/user/photos/beach.jpg"}));
     }},
    {"quit-question",
     [](const MessageCatalogue& catalogue) {
         return MakeQuestion(catalogue, MessageButtons::YesNo, MessageLine::Text(MessageId::StopJobsAndQuit));
     }},
    {"icon-buttons", MakeIconButtons},
    {"program-icons", MakeProgramIcons},
};

const char* LanguageCode(MessageCatalogue::Language language) {
    switch (language) {
        case MessageCatalogue::Language::TraditionalChinese:
            return "zh_TW";
        case MessageCatalogue::Language::Japanese:
            return "ja";
        case MessageCatalogue::Language::SimplifiedChinese:
            return "zh_CN";
        case MessageCatalogue::Language::English:
            break;
    }
    return "en";
}

}  // namespace
}  // namespace vaultpack

int main(int argc, char** argv) {
    using namespace vaultpack;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [window ...]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ProgramVersionText().AppendBuildStamp();
    const MessageCatalogue catalogue(MessageCatalogue::SystemLanguage());
    const QDir output(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(output.path());
    const QStringList wanted = application.arguments().mid(2);

    int failures = 0;
    for (const ScreenshotWindow& window : kWindows) {
        if (!wanted.isEmpty() && !wanted.contains(QLatin1String(window.name))) {
            continue;
        }
        std::unique_ptr<QWidget> widget = window.make(catalogue);
        widget->show();
        // What a window does once it is up (taking the focus) needs a few
        // rounds of events.
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < 100) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        const QString file =
            output.filePath(QStringLiteral("%1-%2.png").arg(window.name, LanguageCode(catalogue.CurrentLanguage())));
        if (!widget->grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            ++failures;
            continue;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return failures == 0 ? 0 : 1;
}
