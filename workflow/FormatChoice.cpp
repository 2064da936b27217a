// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/FormatChoice.h"

#include "engine/SaveRequest.h"
#include "qtadapters/Dialogs.h"
#include "text/FormatFileSize.h"
#include "workflow/BackgroundWork.h"
#include "workflow/FrameWidgets.h"
#include "workflow/PasswordPageTexts.h"
#include "workflow/SettingsStore.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

namespace lumora {
namespace {

// The settings key of the format last chosen, and its values; anything else is classic.
constexpr const char* kFormatSetting = "CarrierFormat";
const QString kSealedSetting = QStringLiteral("sealed");
const QString kWovenSetting = QStringLiteral("woven");
const QString kClassicSetting = QStringLiteral("classic");

// Between one option's description and the next option.
constexpr int kOptionGap = 4;

const QString kOverRoomStyle = QStringLiteral("color: #b00000;");

} // namespace

FormatChoice::FormatChoice(QWidget* parent, IPanelHost& host)
    : QGroupBox(QStringLiteral("Format of the hidden data"), parent), m_host(host) {
    setObjectName(QStringLiteral("grpFormat"));
    Build();
}

void FormatChoice::Build() {
    rbClassic = Named(new QRadioButton(QStringLiteral("C&lassic"), this), "rbClassic");
    rbSealed = Named(new QRadioButton(QStringLiteral("S&ealed"), this), "rbSealed");
    rbWoven = Named(new QRadioButton(QStringLiteral("&Woven"), this), "rbWoven");
    lblClassic = NewLabel(this, "lblClassic",
                          QStringLiteral("Other programs that read this format can open it. "
                                         "A short password is guessed quickly."));
    lblSealed = NewLabel(this, "lblSealed",
                         QStringLiteral("Strong against password guessing, and nothing shows "
                                        "that Lumora made it. Opens only in Lumora."));
    lblWoven = NewLabel(this, "lblWoven",
                        QStringLiteral("Woven into the picture itself, nothing after its end: "
                                       "as strong as sealed, harder to find, carries less. "
                                       "Opens only in Lumora."));
    // Filled as the picture is measured; empty, the language file leaves it alone.
    lblWovenRoom = NewLabel(this, "lblWovenRoom", QString());
    chkHideAnyway =
        Named(new QCheckBox(QStringLiteral("Hide &anyway, though easier to detect"), this),
              "chkHideAnyway");
    rbClassic->setChecked(true);
    auto* layout = new QGridLayout(this);
    layout->setVerticalSpacing(2);
    int row = 0;
    for (auto [button, description] :
         {std::pair{rbClassic, lblClassic}, std::pair{rbSealed, lblSealed},
          std::pair{rbWoven, lblWoven}}) {
        if (row > 0)
            layout->setRowMinimumHeight(row++, kOptionGap);
        layout->addWidget(button, row++, 0, 1, 2);
        layout->addWidget(description, row++, 1);
    }
    layout->addWidget(lblWovenRoom, row++, 1);
    layout->addWidget(chkHideAnyway, row, 1);
    // The descriptions line up with the captions, past the radio buttons' circles.
    layout->setColumnMinimumWidth(0, 16);
    layout->setColumnStretch(1, 1);
    lblWovenRoom->hide();
    chkHideAnyway->hide();
}

void FormatChoice::ConnectHandlers(std::function<void()> changed) {
    m_changed = std::move(changed);
    // Clicks only: the wizard's own setting of the choice is no choice of the user's.
    for (QRadioButton* button : {rbClassic, rbSealed, rbWoven})
        connect(button, &QRadioButton::clicked, this, &FormatChoice::rbFormatClick);
}

QList<QWidget*> FormatChoice::TabChain() const {
    return {rbClassic, rbSealed, rbWoven, chkHideAnyway};
}

void FormatChoice::Reset() {
    const QString remembered = ReadSetting(kFormatSetting);
    rbSealed->setChecked(remembered == kSealedSetting);
    rbWoven->setChecked(remembered == kWovenSetting);
    rbClassic->setChecked(!rbSealed->isChecked() && !rbWoven->isChecked());
    chkHideAnyway->setChecked(false);
    ShowRoom();
}

CarrierFormat FormatChoice::Chosen() const {
    if (rbSealed->isChecked())
        return CarrierFormat::Sealed;
    return rbWoven->isChecked() ? CarrierFormat::Woven : CarrierFormat::Classic;
}

void FormatChoice::rbFormatClick() {
    const CarrierFormat chosen = Chosen();
    WriteSetting(kFormatSetting, chosen == CarrierFormat::Sealed  ? kSealedSetting
                                 : chosen == CarrierFormat::Woven ? kWovenSetting
                                                                  : kClassicSetting);
    MeasureIfNeeded();
    ShowRoom();
    if (m_changed)
        m_changed();
}

void FormatChoice::SetContent(const QString& picture, uint64_t contentBound) {
    m_picture = picture;
    m_contentBound = contentBound;
    MeasureIfNeeded();
    ShowRoom();
}

void FormatChoice::MeasureIfNeeded() {
    if (Chosen() != CarrierFormat::Woven || m_picture.isEmpty())
        return;
    const QFileInfo file(m_picture);
    if (m_picture == m_measuredPicture && file.lastModified() == m_measuredTime &&
        file.size() == m_measuredSize && (m_room || m_measuring))
        return;
    m_measuredPicture = m_picture;
    m_measuredTime = file.lastModified();
    m_measuredSize = file.size();
    m_room.reset();
    m_measuring = true;
    const int generation = ++m_generation;
    RunDetached<WovenRoom>(
        this,
        [path = m_picture.toStdString(), name = file.fileName().toStdString()] {
            return MeasureWovenRoom(path, name);
        },
        [this, generation](const WovenRoom& room) { TakeRoom(generation, room); });
}

void FormatChoice::TakeRoom(int generation, const WovenRoom& room) {
    if (generation != m_generation)
        return;
    m_room = room;
    m_measuring = false;
    ShowRoom();
    if (m_changed)
        m_changed();
}

bool FormatChoice::OverCapacity() const {
    return m_room && m_room->status.Ok() && m_contentBound > m_room->capacity;
}

void FormatChoice::ShowRoom() {
    const bool woven = Chosen() == CarrierFormat::Woven;
    lblWovenRoom->setVisible(woven && (m_measuring || m_room));
    lblWovenRoom->setStyleSheet(OverCapacity() ? kOverRoomStyle : QString());
    chkHideAnyway->setVisible(woven && OverCapacity() && m_contentBound <= m_room->limit);
    if (m_measuring) {
        lblWovenRoom->setText(m_host.Message("strWovenMeasuring"));
    } else if (m_room && !m_room->status.Ok()) {
        lblWovenRoom->setText(ReasonLine(m_room->status, m_host.MessageSource()));
    } else if (m_room) {
        const std::string byteWord = m_host.ByteWord().toStdString();
        lblWovenRoom->setText(MessageWithTwo(
            m_host.Message("strWovenRoom"),
            QString::fromStdString(FormatFileSize(static_cast<int64_t>(m_contentBound), byteWord)),
            QString::fromStdString(
                FormatFileSize(static_cast<int64_t>(m_room->capacity), byteWord))));
    }
}

bool FormatChoice::MayGoOn() {
    if (Chosen() != CarrierFormat::Woven)
        return true;
    if (!m_room)
        return false;
    QString refusal;
    const std::string byteWord = m_host.ByteWord().toStdString();
    const auto size = [&byteWord](uint64_t bytes) {
        return QString::fromStdString(FormatFileSize(static_cast<int64_t>(bytes), byteWord));
    };
    if (!m_room->status.Ok())
        refusal = ReasonLine(m_room->status, m_host.MessageSource());
    else if (m_contentBound > m_room->limit)
        refusal = MessageWithTwo(m_host.Message("strWovenOverLimit"), size(m_contentBound),
                                 size(m_room->limit));
    else if (OverCapacity() && !chkHideAnyway->isChecked())
        refusal = MessageWithTwo(m_host.Message("strWovenOverRoom"), size(m_contentBound),
                                 size(m_room->capacity));
    if (refusal.isEmpty())
        return true;
    Dialogs().Error(window(), m_host.Message("strError"), refusal);
    return false;
}

void FormatChoice::ApplyConsent(SaveRequest& request) const {
    if (Chosen() == CarrierFormat::Woven && chkHideAnyway->isChecked())
        static_cast<void>(GiveConsent(request, Reason::OverWovenCapacity));
}

} // namespace lumora
