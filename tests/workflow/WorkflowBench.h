// SPDX-License-Identifier: GPL-2.0-or-later
// A workflow frame in a stand-in main window that records the frame's calls, with its
// dialogs answered from a script and its files in a temporary program folder.
#pragma once

#include "engine/SealedCarrier.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "workflow/IMainWindowHost.h"
#include "workflow/TframeMsg.h"
#include "workflow/TfrmCheckPass.h"

#include <QStringList>
#include <QTreeWidget>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace lumora::test {

class FakeHost : public IMainWindowHost {
public:
    void ShowImage(const QString& path) override { images.append(path); }
    void ShowImageInfo(const CarrierTrailer& trailer) override { infos.append(trailer); }
    void ShowMainPanel(bool visible) override { mainPanel.append(visible); }
    QWidget* HostWindow() override { return &window; }

    QWidget window;
    QStringList images;
    QList<CarrierTrailer> infos;
    QList<bool> mainPanel;
};

// What an engine finds in a carrier.
struct CarrierContents {
    bool opened = false;
    std::string message; // stored form
    std::map<std::string, std::vector<uint8_t>> files;
    CarrierFormat format = CarrierFormat::Classic;
};
CarrierContents ReadCarrier(const std::string& path, const std::string& password);
// The same through a carrier session, which opens sealed carriers too.
CarrierContents ReadAnyCarrier(const std::string& path, const std::string& password);

// Sealed carriers use the cheap key derivation of tests while one of these lives.
struct SealedTestFormat {
    SealedTestFormat() { UseSealedTestFormat(true); }
    ~SealedTestFormat() { UseSealedTestFormat(false); }
};

class WorkflowBench {
public:
    WorkflowBench();
    ~WorkflowBench();

    template <typename T> T* Get(const char* name) const {
        T* widget = frame->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr)
            qFatal("no widget %s", name);
        return widget;
    }
    void Click(const char* name) const;
    // Path of a copy of a reference file in the temporary folder.
    std::string CopyOfReference(const std::string& name, const std::string& as = {}) const;
    // A file of the given bytes in the temporary folder.
    std::string MakeFile(const std::string& name, size_t size, uint32_t seed) const;
    // `count` files of `size` bytes named prefix0.txt, prefix1.txt, ...; their paths.
    QStringList MakeFiles(const QString& prefix, int count, size_t size = 1) const;
    // Opens the wizard on its files page; its list.
    QTreeWidget* OpenFilesPage() const;
    // Runs the wizard from its first page to its last, without saving: the message typed
    // unless there is none (the memo is left alone), the files added, the password twice.
    void WizardToLastPage(const std::string& image, const std::optional<QString>& message,
                          const QStringList& files, const QString& password);
    // Runs the wizard from its first page to the saved carrier.
    void HideThroughWizard(const std::string& image, const QString& message,
                           const QStringList& files, const QString& password,
                           const std::string& target);
    // A carrier made by the engine from base.png; empty on failure.
    std::string MakeCarrier(const std::string& name, const std::string& password,
                            const std::string& message,
                            const std::vector<std::string>& files) const;
    // A sealed carrier made by a session from base.png; empty on failure.
    std::string MakeSealedCarrier(const std::string& name, const std::string& password,
                                  const std::string& message,
                                  const std::vector<std::string>& files) const;
    // The confirmation the wizard shows after saving to target.
    static QString SavedAs(const std::string& target);
    // Scripts the password prompt to be answered with this text.
    void AnswerPrompt(const QString& password, int result = 1);

    TempDir dir;
    ScriptedDialogs dialogs;
    FakeHost host;
    std::unique_ptr<TframeMsg> frame;
    std::unique_ptr<TfrmCheckPass> prompt;
    // "shown"/"hidden" per display of the prompt, "sealed shown"/"sealed hidden" for the
    // prompt for sealed data.
    QStringList promptErrorLines;
};

// The names in a file list, top to bottom.
QStringList Names(const QTreeWidget* list);

} // namespace lumora::test
