// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/ProcessHardening.h"
#include "platform/AtomicFile.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace lumora;
using namespace lumora::test;

// The machine's core handler is unknown, so the process checks itself from inside; as an
// ordinary user (nobody, when root runs the test), since not dumpable gives /proc/self to
// root, and an unnamed file is linked into place through /proc/self/fd.
TEST(ProcessHardening, AHardenedProcessIsNotDumpableHasNoCoreAndStillPlacesFiles) {
    TempDir dir;
    const uid_t nobody = 65534;
    bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown(dir.Path().c_str(), nobody, nobody), 0);
    }
    int probe = ::open(dir.Path().c_str(), O_TMPFILE | O_RDWR, 0600);
    bool unnamed = probe >= 0 && ::close(probe) == 0;
    int status = RunInChild([&] {
        if (asRoot &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            return 1;
        struct rlimit core {};
        if (!HardenProcess() || ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) != 0 ||
            ::getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_cur != 0 || core.rlim_max != 0)
            return 2;
        AtomicFile file(FolderHandle::Open(dir.Path()), "out.txt");
        if (!file.Open() || file.TempName().empty() != unnamed)
            return 3;
        return file.Write("data", 4) && file.Commit(Replace::Never) ? 0 : 4;
    });
    EXPECT_EQ(status, 0) << "1: cannot become nobody, 2: still dumpable or room for a core, "
                            "3: no file or not the expected kind, 4: not placed";
    EXPECT_EQ(ReadText(dir / "out.txt"), "data");
}
