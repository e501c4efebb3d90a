#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "app/MessageCatalogue.h"

namespace vaultpack::test {

// Answers windows that a test's code opens modally: from the event loop
// (which a modal exec() keeps running), every visible top-level widget is
// offered to the handler until the answerer is destroyed. The handler
// returns true when it took the widget (and closed it).
class WindowAnswerer {
public:
    explicit WindowAnswerer(std::function<bool(QWidget*)> handler);
    ~WindowAnswerer();
    WindowAnswerer(const WindowAnswerer&) = delete;
    WindowAnswerer& operator=(const WindowAnswerer&) = delete;

    int AnsweredCount() const { return answered_; }

private:
    void OfferVisibleWindows();

    std::function<bool(QWidget*)> handler_;
    QTimer timer_;
    int answered_ = 0;
};

// A handler for WindowAnswerer that takes only widgets of type T.
template <typename T>
std::function<bool(QWidget*)> AnswerEach(std::function<void(T*)> answer) {
    return [answer](QWidget* widget) {
        auto* typed = qobject_cast<T*>(widget);
        if (typed == nullptr) {
            return false;
        }
        answer(typed);
        return true;
    };
}

// Runs loop until it quits; gives up within the tests' wait limit, saying
// what it waited for.
void RunUntilQuit(QEventLoop& loop, const std::string& what);

// The English catalogue, for tests that read what the windows say.
const MessageCatalogue& EnglishCatalogue();

// The child of parent with that object name, failing the test when there is none.
template <typename Widget>
Widget* Child(QWidget* parent, const char* name) {
    auto* child = parent->findChild<Widget*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// When widget is a message box: notes its text in `texts`, answers it with
// its first button and returns true.
bool ConfirmMessageBox(QWidget* widget, std::vector<std::string>& texts);

// Drops local files on target as the file manager does (enter, then drop
// when the enter was accepted), with the keys held; returns whether target took them.
bool DropFiles(QWidget* target, const std::vector<std::filesystem::path>& paths,
               Qt::KeyboardModifiers keys = Qt::NoModifier);

// Types text into the focused-or-not widget key by key, as a keyboard or an
// input method delivers characters.
void TypeText(QWidget* widget, const QString& text);

}  // namespace vaultpack::test
