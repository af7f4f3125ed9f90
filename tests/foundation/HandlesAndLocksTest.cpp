#include "foundation/CCritSec.h"
#include "foundation/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <utility>

namespace {

bool IsOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

// Whether another thread could take the lock now (it lets go at once).
bool FreeForAnotherThread(CCritSec& lock) {
    bool taken = false;
    std::thread other([&] { taken = static_cast<bool>(CTryLock(lock)); });
    other.join();
    return taken;
}

} // namespace

TEST(HandlesTest, EventHolderClosesItsHandleOnceAndMoveHandsItOver) {
    CEventHandle reused;
    HANDLE first = nullptr;
    {
        CEventHandle event = CreateEventOrThrow(true, false);
        first = event.Get();
        EXPECT_TRUE(event.Close());
        EXPECT_FALSE(event.IsValid());
        EXPECT_FALSE(IsOpenHandle(first));
        // The system may hand the freed value out again: a second close by the emptied holder would
        // then close this event.
        reused = CreateEventOrThrow(true, false);
    }
    EXPECT_TRUE(IsOpenHandle(reused.Get()));

    HANDLE moved = nullptr;
    {
        CEventHandle source = CreateEventOrThrow(true, false);
        moved = source.Get();
        CEventHandle target(std::move(source));
        EXPECT_FALSE(source.IsValid());
        EXPECT_EQ(target.Get(), moved);
        CEventHandle assigned = CreateEventOrThrow(true, false);
        const HANDLE replaced = assigned.Get();
        assigned = std::move(target);
        EXPECT_FALSE(IsOpenHandle(replaced)) << "the handle a move assignment replaces is closed";
        EXPECT_FALSE(target.IsValid());
        EXPECT_TRUE(IsOpenHandle(moved));
    }
    EXPECT_FALSE(IsOpenHandle(moved)) << "closed with its last holder";

    CEventHandle event = CreateEventOrThrow(true, false);
    CEventHandle(event.Get()).Close();
    EXPECT_FALSE(event.Close()) << "a handle closed behind the holder's back";
}

// A holder that took null for the empty file or search handle would close INVALID_HANDLE_VALUE, which
// is the current process's own pseudo-handle.
TEST(HandlesTest, FailedFileAndSearchOpensLeaveEmptyHolders) {
    const CFileHandle file(CreateFileW(L"C:\\no such folder\\no such file", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(file.IsValid());
    EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(L"C:\\no such folder\\*", &found));
    EXPECT_FALSE(search.IsValid());
    EXPECT_TRUE(search.Close());
}

TEST(HandlesTest, CreateEventOrThrowGivesAWorkingEventOfTheAskedKind) {
    struct Case {
        bool manualReset;
        bool initiallySet;
        DWORD firstWait;
        DWORD secondWait;
    };
    const Case cases[] = {
        {true, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
        {true, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
        {false, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "manual " << c.manualReset << ", set " << c.initiallySet);
        const CEventHandle event = CreateEventOrThrow(c.manualReset, c.initiallySet);
        ASSERT_TRUE(event.IsValid());
        EXPECT_EQ(WaitForSingleObject(event.Get(), 0), c.firstWait);
        EXPECT_EQ(WaitForSingleObject(event.Get(), 0), c.secondWait);
        ASSERT_TRUE(SetEvent(event.Get()));
        EXPECT_EQ(WaitForSingleObject(event.Get(), 0), WAIT_OBJECT_0);
    }
}

TEST(CCritSecTest, TryLockTakesOnlyAFreeLockOrOneItsThreadHolds) {
    CCritSec lock;
    const CEventHandle held = CreateEventOrThrow(true, false);
    const CEventHandle release = CreateEventOrThrow(true, false);
    std::thread holder([&] {
        CAutoLock hold(lock);
        SetEvent(held.Get());
        WaitForSingleObject(release.Get(), 10000);
    });
    ASSERT_EQ(WaitForSingleObject(held.Get(), 10000), WAIT_OBJECT_0);
    {
        CTryLock attempt(lock);
        EXPECT_FALSE(attempt) << "taken while another thread holds it";
    }
    SetEvent(release.Get());
    holder.join();

    {
        CTryLock attempt(lock);
        EXPECT_TRUE(attempt);
        EXPECT_FALSE(FreeForAnotherThread(lock));
    }
    EXPECT_TRUE(FreeForAnotherThread(lock)) << "let go at the end of its scope";
    {
        CAutoLock outer(lock);
        CTryLock inner(lock);
        EXPECT_TRUE(inner) << "the holder enters again";
    }
    EXPECT_TRUE(FreeForAnotherThread(lock)) << "each entry was left once";
}
