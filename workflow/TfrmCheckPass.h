// SPDX-License-Identifier: GPL-2.0-or-later
// The password prompt of the reveal view: one field, OK and Cancel, and a red line that
// says the last password was wrong. Created once at start-up and reused for every load.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace lumora {

class TMLang;

class TfrmCheckPass : public QDialog {
    Q_OBJECT
public:
    explicit TfrmCheckPass(QWidget* parent = nullptr);

    // Non-zero shows the error line on the next display.
    void SetPasswordFailed(int failed) { m_passwordFailed = failed; }
    int PasswordFailed() const { return m_passwordFailed; }

    QString Password() const;
    void ClearPassword();

    // Readies the prompt for display: error line by PasswordFailed(), empty field with
    // the focus. Runs on every show; callers that show the prompt through the dialog
    // seam run it first, since a scripted seam never shows it.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    int m_passwordFailed = 0;
    QLabel* lblInputPass = nullptr;
    QLabel* lblPassError = nullptr;
    QLineEdit* medtPass = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    TMLang* MLang = nullptr;
};

} // namespace lumora
