// SPDX-License-Identifier: GPL-2.0-or-later
// The about box: product picture, product line, notice and Close. Created hidden at
// start-up and shown modally by "About ...". The program has no web site to link to; its
// manual is under "Help ...".
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace lumora {

class TMLang;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    TMLang* Lang() const { return MLang; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    void ConfigureLang();
    void btnCloseClick();

    QLabel* pnl1 = nullptr;
    QLabel* lbl1 = nullptr;
    QLabel* lbl2 = nullptr;
    QPushButton* btnClose = nullptr;
    TMLang* MLang = nullptr;
};

} // namespace lumora
