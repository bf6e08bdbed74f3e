// Scripted desktop services and a wizard over the simulated backend.
#pragma once

#include <sys/stat.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "connecting_dialog.h"
#include "error_handler.h"
#include "tk_error_tables.h"
#include "wizard_presenter.h"
#include "wizard_sample_backend.h"
#include "wizard_services.h"
#include "wizard_shell.h"

// Every box is recorded; questions take the next scripted answer; modal
// dialogs of ours go to the next scripted handler, which returns the
// dialog's result. Nothing real opens.
class script_services : public wizard_services {
public:
    struct shown {
        box kind;
        QString caption;
        QString text;
    };
    using dialog_handler = std::function<int(QDialog&)>;

    std::vector<shown> boxes;
    std::deque<bool> answers;
    std::deque<QString> files;
    std::deque<dialog_handler> dialogs;
    std::vector<QUrl> urls;
    bool url_taken = true;
    QString clipboard;
    std::vector<QString> file_titles;

    QString open_file(QWidget*, const QString& title, const QString& filters, const QString&) override
    {
        file_titles.push_back(title + " | " + filters);
        return take_file();
    }
    QString save_file(QWidget*, const QString& title, const QString& filters, const QString&) override
    {
        file_titles.push_back(title + " | " + filters);
        return take_file();
    }
    bool show_box(QWidget*, box kind, const QString& caption, const QString& text) override
    {
        boxes.push_back({kind, caption, text});
        if (kind != box::question) return false;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    int exec_dialog(QDialog& d) override
    {
        // The connecting dialog closes itself when the worker ends.
        if (dynamic_cast<connecting_dialog*>(&d) != nullptr) return d.exec();
        if (dialogs.empty()) {
            ADD_FAILURE() << "unexpected dialog " << d.metaObject()->className();
            return QDialog::Rejected;
        }
        dialog_handler h = std::move(dialogs.front());
        dialogs.pop_front();
        return h(d);
    }
    bool open_url(const QUrl& url) override
    {
        urls.push_back(url);
        return url_taken;
    }
    void set_clipboard(const QString& text) override { clipboard = text; }

    // The texts of the boxes shown so far, then forgets them.
    std::vector<QString> take_texts()
    {
        std::vector<QString> t;
        for (const auto& b : boxes) t.push_back(b.text);
        boxes.clear();
        return t;
    }

private:
    QString take_file()
    {
        if (files.empty()) return QString();
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

// The permission bits of `path` (-1 when it cannot be read).
inline int file_mode(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 0777);
}

// Waits, handling events, until `done` holds or `ms` pass.
inline bool wait_for(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class wizard_test : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_services::install(&services);
        handler = std::make_unique<error_handler>(tk_oracle_error_count, tk_oracle_errors);
        handler->load_err_map(tk_access_error_count, tk_access_errors);
        handler->set_presenter(std::make_unique<wizard_presenter>());
        wizard_shell::set_help_dir(GUI2_HELP_DIR);
    }
    void TearDown() override
    {
        shell.reset();
        handler.reset();
        wizard_services::install(nullptr);
        wizard_shell::set_help_dir(QString());
    }

    void make_shell(bool quick = false)
    {
        shell = std::make_unique<wizard_shell>(backend, quick);
        shell->show();
    }
    // A file that exists, in the test's scratch folder.
    QString touch(const QString& name)
    {
        QString path = scratch.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("x");
        return path;
    }
    template <class T>
    T* child(const char* name)
    {
        T* w = shell->currentPage()->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QTemporaryDir scratch;
    script_services services;
    wizard_sample_backend backend;
    std::unique_ptr<error_handler> handler;
    std::unique_ptr<wizard_shell> shell;
};
