// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/WorkflowBench.h"

#include "engine/BindImage.h"
#include "engine/OpenedCarrier.h"
#include "engine/UnlockedCarrier.h"
#include "platform/ProgramFolders.h"
#include "support/Sessions.h"
#include "workflow/FileListRows.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

namespace lumora::test {

CarrierContents ReadCarrier(const std::string& path, const std::string& password) {
    CarrierContents contents;
    CBindImage engine;
    engine.SetPassword(Password(password));
    if (!engine.OpenCarrier(path, OPEN_INSPECT) || !engine.HasValidTrailer())
        return contents;
    engine.SetPassword(Password(password));
    contents.opened = engine.UnpackPayload() == 1;
    contents.message = engine.Message().value_or(std::string());
    FileSlot slot;
    for (int k = engine.FirstFileSlot(slot); k >= 0; k = engine.NextFileSlot(slot, k)) {
        std::string copy;
        if (engine.ExtractHiddenFile(k, copy))
            contents.files[slot.name] = ReadFile(copy);
    }
    return contents;
}

CarrierContents ReadAnyCarrier(const std::string& path, const std::string& password) {
    CarrierContents contents;
    std::unique_ptr<UnlockedCarrier> session;
    if (!UnlockAt(path, password, session).Ok())
        return contents;
    contents.opened = true;
    contents.format = session->Format();
    contents.message = session->Message().value_or(std::string());
    for (const HiddenEntry& entry : session->Entries()) {
        std::string copy;
        if (session->ExtractToWorkFolder(entry.index, copy).Ok())
            contents.files[entry.name] = ReadFile(copy);
    }
    return contents;
}

WorkflowBench::WorkflowBench() {
    SetProgramFolderOverride(dir.Path());
    SetDialogs(&dialogs);
    host.window.resize(750, 516);
    frame = std::make_unique<TframeMsg>(&host, &host.window);
    prompt = std::make_unique<TfrmCheckPass>();
    frame->SetPasswordPrompt(prompt.get());
    host.window.show();
}

WorkflowBench::~WorkflowBench() {
    frame.reset();
    prompt.reset();
    SetDialogs(nullptr);
    SetProgramFolderOverride(std::string());
}

void WorkflowBench::Click(const char* name) const {
    Get<QPushButton>(name)->click();
}

std::string WorkflowBench::CopyOfReference(const std::string& name, const std::string& as) const {
    const std::string target = dir / (as.empty() ? name : as);
    std::filesystem::copy_file(ReferenceFile(name), target,
                               std::filesystem::copy_options::overwrite_existing);
    return target;
}

std::string WorkflowBench::MakeFile(const std::string& name, size_t size, uint32_t seed) const {
    const std::string path = dir / name;
    WriteFile(path, PseudoRandomBytes(size, seed));
    return path;
}

QStringList WorkflowBench::MakeFiles(const QString& prefix, int count, size_t size) const {
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const std::string name = QStringLiteral("%1%2.txt").arg(prefix).arg(i).toStdString();
        paths.append(QString::fromStdString(MakeFile(name, size, static_cast<uint32_t>(i))));
    }
    return paths;
}

QTreeWidget* WorkflowBench::OpenFilesPage() const {
    frame->ShowHideWizard();
    Get<QComboBox>("cbbFiles")->setEditText("/pictures/cat.jpg");
    Click("btnNext1");
    Click("btnNext1");
    return Get<QTreeWidget>("lvFiles");
}

QStringList Names(const QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names.append(RowName(list->topLevelItem(i)));
    return names;
}

std::string WorkflowBench::MakeCarrier(const std::string& name, const std::string& password,
                                       const std::string& message,
                                       const std::vector<std::string>& files) const {
    const std::string image = CopyOfReference("base.png", name + ".source.png");
    CBindImage engine;
    engine.SetPassword(Password(password));
    const std::string target = dir / name;
    const bool saved = engine.OpenCarrier(image, OPEN_UNPACK) == 1 &&
                       engine.ReplaceContent(message, {}, {files.begin(), files.end()}) == 1 &&
                       engine.SaveCarrier(target) == 1;
    return saved ? target : std::string();
}

std::string WorkflowBench::MakeSealedCarrier(const std::string& name, const std::string& password,
                                             const std::string& message,
                                             const std::vector<std::string>& files) const {
    std::unique_ptr<OpenedCarrier> picture =
        OpenAt(CopyOfReference("base.png", name + ".source.png"));
    const Password typed(password);
    SaveRequest request;
    request.destination = dir / name;
    request.message = message;
    request.addedFiles.assign(files.begin(), files.end());
    request.newPassword = &typed;
    request.format = CarrierFormat::Sealed;
    std::unique_ptr<UnlockedCarrier> saved;
    return picture != nullptr && OpenedCarrier::Hide(picture, request, saved).Ok()
               ? request.destination
               : std::string();
}

void WorkflowBench::WizardToLastPage(const std::string& image,
                                     const std::optional<QString>& message,
                                     const QStringList& files, const QString& password) {
    frame->ShowHideWizard();
    Get<QComboBox>("cbbFiles")->setEditText(QString::fromStdString(image));
    Click("btnNext1");
    if (message)
        Get<QPlainTextEdit>("mmoMsg")->setPlainText(*message);
    Click("btnNext1");
    if (!files.isEmpty()) {
        dialogs.fileLists.push_back(files);
        Click("btnAdd");
    }
    Click("btnNext1");
    Get<QLineEdit>("edtPass1")->setText(password);
    Get<QLineEdit>("edtPass2")->setText(password);
    Click("btnNext1");
}

void WorkflowBench::HideThroughWizard(const std::string& image, const QString& message,
                                      const QStringList& files, const QString& password,
                                      const std::string& target) {
    WizardToLastPage(image, message, files, password);
    dialogs.savePaths.push_back(QString::fromStdString(target));
    Click("btnSave");
}

QString WorkflowBench::SavedAs(const std::string& target) {
    return QStringLiteral("The image has been saved as %1.").arg(QString::fromStdString(target));
}

void WorkflowBench::AnswerPrompt(const QString& password, int result) {
    dialogs.execs.push_back([this, password, result](QDialog* dialog) {
        // The prompt for sealed data has an error line of its own.
        const bool sealed = !dialog->findChild<QLabel*>("lblSealedPass")->isHidden();
        const bool errorShown = !dialog->findChild<QLabel*>("lblPassError")->isHidden();
        const bool sealedErrorShown = !dialog->findChild<QLabel*>("lblSealedError")->isHidden();
        // A prompt that shows the other kind's texts is recorded as mixed.
        const bool mixed = dialog->findChild<QLabel*>("lblInputPass")->isHidden() != sealed ||
                           (sealed ? errorShown : sealedErrorShown);
        promptErrorLines.append(mixed ? QStringLiteral("mixed")
                                      : QString(sealed ? "sealed " : "") +
                                            (errorShown || sealedErrorShown ? "shown" : "hidden"));
        dialog->findChild<QLineEdit*>("medtPass")->setText(password);
        return result;
    });
}

} // namespace lumora::test
