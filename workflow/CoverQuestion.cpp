// SPDX-License-Identifier: GPL-2.0-or-later
#include "workflow/CoverQuestion.h"

#include "engine/CoverCheck.h"
#include "engine/OpenedCarrier.h"
#include "qtadapters/Dialogs.h"

namespace lumora {

Status CoverStatus(const std::string& path) {
    std::unique_ptr<OpenedCarrier> opened;
    if (!OpenedCarrier::Open(path, opened).Ok())
        return Status::Success();
    Status cover = opened->CheckCover();
    if (KindOfRefusal(cover) == PictureKind::Svg)
        return Status::Fail(Reason::PictureWouldBreak, cover.subject);
    return cover;
}

CoverVerdict AskAboutCover(QWidget* owner, const QString& path, const MessageLookup& message) {
    const Status cover = CoverStatus(path.toStdString());
    if (cover.Ok() || cover.reason == Reason::ReadFailed)
        return CoverVerdict::Take;
    const QString line = ReasonLine(cover, message);
    if (cover.reason == Reason::CoverHoldsData || cover.reason == Reason::PictureWouldBreak) {
        const Answer answer = Dialogs().QuestionYesNo(owner, message("strrAppName"), line);
        return answer == Answer::Yes ? CoverVerdict::TakeAsItIs : CoverVerdict::Refuse;
    }
    Dialogs().Error(owner, message("strError"), line);
    return CoverVerdict::Refuse;
}

} // namespace lumora
