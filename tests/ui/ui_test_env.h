#pragma once
// Shared set-up of the window tests: one application object on the offscreen
// platform, settings and device file in a temporary directory, and dialogs
// that are answered in advance.
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include "common/clock.h"
#include "form/com_port_list.h"
#include "ui/dialog_service.h"
#include "ui/main_form.h"

namespace vandrel::ui::test {

class ScriptedDialogs : public DialogService {
public:
    void ErrorBox(QWidget*, const QString& text) override { Errors << text; }
    std::optional<QString> OpenFile(QWidget*, const QString& filter,
                                    const QString& initialFile) override {
        LastFilter = filter;
        LastInitialFile = initialFile;
        ++OpenFileCalls;
        if (Answers.empty())
            return std::nullopt;
        // The answer is taken apart before it leaves the queue: copying a
        // whole optional out of the deque leaves GCC unsure, at -O3, whether
        // its string was ever built.
        const bool chosen = Answers.front().has_value();
        const QString path = Answers.front().value_or(QString());
        Answers.pop_front();
        if (!chosen)
            return std::nullopt;
        return path;
    }

    std::optional<QString> SaveFile(QWidget*, const QString&, const QString& initialFile) override {
        LastInitialFile = initialFile;
        if (SaveAnswers.empty())
            return std::nullopt;
        const QString path = SaveAnswers.front();
        SaveAnswers.pop_front();
        return path;
    }
    bool Question(QWidget*, const QString& text) override {
        Questions << text;
        if (YesNo.empty())
            return false;
        const bool yes = YesNo.front();
        YesNo.pop_front();
        return yes;
    }
    void Information(QWidget*, const QString& title, const QString& text) override {
        Infos << title + "|" + text;
    }

    QStringList Errors;
    QStringList Questions;
    QStringList Infos;
    std::deque<QString> SaveAnswers;
    std::deque<bool> YesNo;
    std::deque<std::optional<QString>> Answers;
    QString LastFilter;
    QString LastInitialFile;
    int OpenFileCalls = 0;
};

// The temporary directory of this test run.
QString TempDir();
// All stored settings, as the store holds them on disk.
std::map<QString, QString> StoredSettings();
// Writes an Intel HEX file holding `words` (word address -> word); returns its path.
QString WriteHexFile(const QString& name, const std::map<int, int>& words);

// A fixture with a clean settings store, scripted dialogs, a virtual clock and
// a port list the test controls.
class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window (running its start-up) with the current `ports`.
    TForm1& Start();
    // Shows the window and waits until it is on screen.
    void ShowForm();

    template <class T>
    T* Find(const char* name) const {
        T* widget = form_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    PortList ports_;
    ScriptedDialogs dialogs_;
    VirtualClock clock_;
    std::unique_ptr<TForm1> form_;
};

} // namespace vandrel::ui::test
