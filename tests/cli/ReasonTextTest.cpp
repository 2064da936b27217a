// SPDX-License-Identifier: GPL-2.0-or-later
// How lumora-cli fills a reason's line: the parts a status has no value for are left out
// or give way to their alternative, and limits are told in the unit they are round in.
#include "cli/ReasonText.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace lumora::cli {
namespace {

struct Filled {
    const char* what;
    Status status;
    std::string carrier;
    std::string text;
};

Status With(Reason reason, std::string subject, int error = 0) {
    return Status::Fail(reason, std::move(subject), error);
}

class ReasonTextTest : public ::testing::TestWithParam<Filled> {};

TEST_P(ReasonTextTest, FillsTheLineWithWhatTheStatusHas) {
    EXPECT_EQ(ReasonText(GetParam().status, GetParam().carrier), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReasonTextTest,
    ::testing::Values(
        Filled{"errno", With(Reason::ReadFailed, "a.txt", ENOENT), "",
               "cannot read a.txt: No such file or directory"},
        Filled{"noErrno", With(Reason::WriteFailed, "out.png"), "", "cannot write out.png"},
        Filled{"noSubject", With(Reason::WriteFailed, "", EIO), "",
               "cannot write the output: Input/output error"},
        Filled{"carrier", With(Reason::Damaged, ""), "c.png",
               "the hidden data in c.png is damaged"},
        Filled{"noCarrier", With(Reason::EntryDamaged, "a.txt"), "", "\"a.txt\" is damaged"},
        Filled{"subjectBeforeCarrier", With(Reason::Busy, "/x/c.png"), "c.png",
               "/x/c.png is being changed by another Lumora process"},
        Filled{"carrierInstead", With(Reason::Busy, ""), "c.png",
               "c.png is being changed by another Lumora process"},
        Filled{"diskFullWithoutErrno", With(Reason::DiskFull, "out.png"), "",
               "cannot write out.png: the disk is full"},
        Filled{"countAndLimit", Status::OverLimit(Reason::TooManyFiles, 100, 105), "",
               "too many files: at most 100 files can be hidden, this would make 105"},
        Filled{"noCount", Status::OverLimit(Reason::TooManyFiles, 100), "",
               "too many files: at most 100 files can be hidden"},
        Filled{"justBelowGiB", Status::OverLimit(Reason::CarrierTooLarge, 0x7FFFFFFF), "",
               "the carrier would reach 2 GiB"},
        Filled{"mebibytes", Status::OverLimit(Reason::MessageTooLargeToShow, 64 << 20), "",
               "the hidden message is too large to be shown (64 MiB at most)"},
        Filled{"bytes", Status::OverLimit(Reason::FilesTooLarge, 1000), "",
               "the hidden files together would reach 1000 bytes"}),
    [](const ::testing::TestParamInfo<Filled>& row) { return std::string(row.param.what); });

} // namespace
} // namespace lumora::cli
