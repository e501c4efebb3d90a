#include "tests/ui/UiTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QAbstractButton>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

#include "tests/support/BoundedWait.h"

namespace vaultpack::test {

namespace {

// One QApplication for the whole program, on the main thread, drawing
// offscreen so the tests need no display.
class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argumentCount_, arguments_);
    }
    void TearDown() override { application_.reset(); }

private:
    static inline int argumentCount_ = 1;
    static inline char programName_[] = "ui_tests";
    static inline char* arguments_[] = {programName_, nullptr};
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

constexpr int kPollMilliseconds = 5;

}  // namespace

WindowAnswerer::WindowAnswerer(std::function<bool(QWidget*)> handler) : handler_(std::move(handler)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { OfferVisibleWindows(); });
    timer_.start(kPollMilliseconds);
}

WindowAnswerer::~WindowAnswerer() {
    timer_.stop();
}

void WindowAnswerer::OfferVisibleWindows() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && handler_(widget)) {
            ++answered_;
        }
    }
}

void RunUntilQuit(QEventLoop& loop, const std::string& what) {
    QTimer limit;  // gone with the wait, so that it never fires after it
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [what] { GiveUpWaiting(what); });
    limit.start(kWaitLimit);
    loop.exec();
}

const MessageCatalogue& EnglishCatalogue() {
    static const MessageCatalogue catalogue(MessageCatalogue::Language::English);
    return catalogue;
}

bool ConfirmMessageBox(QWidget* widget, std::vector<std::string>& texts) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box == nullptr) {
        return false;
    }
    texts.push_back(box->text().toStdString());
    box->buttons().front()->click();
    return true;
}

bool DropFiles(QWidget* target, const std::vector<std::filesystem::path>& paths, Qt::KeyboardModifiers keys) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::filesystem::path& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path.string())));
    }
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(target, &drop);
    return true;
}

void TypeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace vaultpack::test
