// SPDX-License-Identifier: GPL-2.0-or-later
// The hide wizard's choice of the hidden data's format, the group "grpFormat": classic,
// sealed or woven, remembered between runs. With woven chosen it tells how much the picture
// can carry and how much the content may take, measured off the interface thread, or why
// the picture cannot carry woven data; "Hide anyway" lets content above the capacity go on.
#pragma once

#include "engine/SealedCarrier.h"
#include "workflow/IPanelHost.h"
#include "workflow/WovenRoom.h"

#include <QDateTime>
#include <QGroupBox>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QRadioButton;

namespace lumora {

struct SaveRequest;

class FormatChoice : public QGroupBox {
public:
    FormatChoice(QWidget* parent, IPanelHost& host);

    // Connects the buttons; changed runs whenever the choice or what is known of the picture
    // changes.
    void ConnectHandlers(std::function<void()> changed);
    // The format chosen last time, "Hide anyway" not ticked.
    void Reset();
    CarrierFormat Chosen() const;
    // The picture and the bound of the content the page speaks of; the picture is measured
    // when woven is chosen and it was not measured as it is now.
    void SetContent(const QString& picture, uint64_t contentBound);
    // Whether the page may be left: false while the picture is being measured.
    bool Ready() const { return !m_measuring; }
    // Whether the content may be hidden in the chosen format; when not, a box has said why
    // (the picture cannot carry woven data, or the content is too large for it).
    bool MayGoOn();
    // Gives the request the consent "Hide anyway" stands for.
    void ApplyConsent(SaveRequest& request) const;

    // The group's controls in the order Tab visits them.
    QList<QWidget*> TabChain() const;

private:
    void Build();
    void rbFormatClick();
    // Measures the picture in the background unless its room is known as it is now.
    void MeasureIfNeeded();
    void TakeRoom(int generation, const WovenRoom& room);
    void ShowRoom();
    bool OverCapacity() const;

    IPanelHost& m_host;
    std::function<void()> m_changed;
    QString m_picture;
    uint64_t m_contentBound = 0;
    // What was measured, of which file as it was then.
    std::optional<WovenRoom> m_room;
    QString m_measuredPicture;
    QDateTime m_measuredTime;
    qint64 m_measuredSize = -1;
    bool m_measuring = false;
    int m_generation = 0; // a measurement's result counts only while it is the latest

    QRadioButton* rbClassic = nullptr;
    QRadioButton* rbSealed = nullptr;
    QRadioButton* rbWoven = nullptr;
    QLabel* lblClassic = nullptr;
    QLabel* lblSealed = nullptr;
    QLabel* lblWoven = nullptr;
    QLabel* lblWovenRoom = nullptr;
    QCheckBox* chkHideAnyway = nullptr;
};

} // namespace lumora
