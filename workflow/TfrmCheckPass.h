// SPDX-License-Identifier: GPL-2.0-or-later
// The password prompt of the reveal view: one field, OK and Cancel, and a red line that
// says the last password was wrong (or, for sealed data, that it opened nothing). Created
// once at start-up and reused for every load, and for typing a password again before a
// save.
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

    // For a picture without classic data, which may hold sealed data: the prompt says so,
    // and its error line cannot call the password wrong, since there may be no data at all.
    void SetSealed(bool sealed) { m_sealed = sealed; }
    bool IsSealed() const { return m_sealed; }
    // Before a save under a password that could not be proved whole: the prompt asks for
    // the same password again.
    void SetConfirming(bool confirming) { m_confirming = confirming; }
    bool IsConfirming() const { return m_confirming; }

    // Readies the prompt for display: the texts of its kind, error line by
    // PasswordFailed(), empty field with the focus. Runs on every show; callers that show the
    // prompt through the dialog seam run it first, since a scripted seam never shows it.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    int m_passwordFailed = 0;
    bool m_sealed = false;
    bool m_confirming = false;
    QLabel* lblInputPass = nullptr;
    QLabel* lblPassError = nullptr;
    QLabel* lblSealedPass = nullptr;
    QLabel* lblSealedError = nullptr;
    QLabel* lblConfirmPass = nullptr;
    QLineEdit* medtPass = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    TMLang* MLang = nullptr;
};

} // namespace lumora
