// SPDX-License-Identifier: GPL-2.0-or-later
// Answers dialogs from queues filled by a test, and records what was shown. A dialog that
// finds its queue empty is answered with "cancel" and counted in Unanswered(), so a test
// can assert that nothing unexpected was asked.
#pragma once

#include "qtadapters/Dialogs.h"

#include <QDialog>
#include <QList>
#include <deque>
#include <functional>

namespace lumora {

class ScriptedDialogs : public IDialogs {
public:
    struct Shown {
        QString kind; // "error", "information", "question", "question3", "choice"
        QString title;
        QString text;
    };

    // --- what the test scripts
    std::deque<Answer> answers;                     // for the two kinds of question
    std::deque<int> choices;                        // for QuestionChoice
    std::deque<QString> pictures;                   // for OpenPicture
    std::deque<QStringList> fileLists;              // for OpenFiles
    std::deque<QString> savePaths;                  // for SaveFile
    std::deque<QString> folders;                    // for BrowseForFolder
    std::deque<std::function<int(QDialog*)>> execs; // fill in and close a modal dialog
    bool desktopOpens = true;                       // result of OpenWithDesktop
    std::function<void()> onShow; // runs as each message box or modal dialog opens

    // --- what the test reads back
    QList<Shown> shown; // message boxes in the order shown
    QList<SaveFileRequest> saveRequests;
    QList<QStringList> choiceButtons; // the captions of each QuestionChoice, Cancel's last
    QStringList folderTitles;
    QList<QStringList> pictureFilters; // the filters of each OpenPicture
    QStringList startFolders;          // of each OpenPicture, OpenFiles and BrowseForFolder
    QStringList opened;                // paths and addresses given to the open verb
    int unanswered = 0;

    void Error(QWidget*, const QString& title, const QString& text) override {
        Show({"error", title, text});
    }
    void Information(QWidget*, const QString& title, const QString& text) override {
        Show({"information", title, text});
    }
    Answer QuestionYesNo(QWidget*, const QString& title, const QString& text) override {
        Show({"question", title, text});
        return Next(answers, Answer::No);
    }
    Answer QuestionYesNoCancel(QWidget*, const QString& title, const QString& text) override {
        Show({"question3", title, text});
        return Next(answers, Answer::Cancel);
    }
    int QuestionChoice(QWidget*, const QString& title, const QString& text,
                       const QStringList& captions, const QString& cancelCaption) override {
        choiceButtons.append(captions + QStringList{cancelCaption});
        Show({"choice", title, text});
        return Next(choices, -1);
    }
    QString OpenPicture(QWidget*, const QStringList& filters, const QString& start) override {
        pictureFilters.append(filters);
        startFolders.append(start);
        return Next(pictures, QString());
    }
    QStringList OpenFiles(QWidget*, const QString&, const QString& start) override {
        startFolders.append(start);
        return Next(fileLists, QStringList());
    }
    QString SaveFile(QWidget*, const SaveFileRequest& request) override {
        saveRequests.append(request);
        return Next(savePaths, QString());
    }
    QString BrowseForFolder(QWidget*, const QString& title, const QString& start) override {
        folderTitles.append(title);
        startFolders.append(start);
        return Next(folders, QString());
    }
    int Exec(QDialog* dialog) override {
        if (onShow)
            onShow();
        if (execs.empty()) {
            ++unanswered;
            return QDialog::Rejected;
        }
        auto script = std::move(execs.front());
        execs.pop_front();
        return script(dialog);
    }
    bool OpenWithDesktop(const QString& pathOrUrl) override {
        opened.append(pathOrUrl);
        return desktopOpens;
    }

    // Texts of the message boxes shown so far.
    QStringList Texts() const {
        QStringList texts;
        for (const auto& s : shown)
            texts.append(s.text);
        return texts;
    }

private:
    void Show(Shown box) {
        shown.append(std::move(box));
        if (onShow)
            onShow();
    }
    template <typename T> T Next(std::deque<T>& queue, T fallback) {
        if (queue.empty()) {
            ++unanswered;
            return fallback;
        }
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

} // namespace lumora
