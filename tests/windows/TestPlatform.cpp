#include "TestPlatform.h"

#include <QtTest>
#include <thread>
#include <windows.h>

#include "device/HidIO.h"
#include "device/Process.h"
#include "device/windows/UnitLock.h"
#include "device/windows/WinHidBackend.h"
#include "device/windows/WindowsError.h"

void HidrawEndToEnd()
{
    QSKIP("the hidraw case runs in the Linux guest (tests/e2e/); there the Windows programs reach "
          "the same unit under Wine");
}

void SystemBackendKeepsTheCause()
{
    WinHidBackend backend;
    const std::string missing = "\\\\?\\hid#vid_051a&pid_511b#torvan-missing";
    const HidOpened opened = backend.Open(missing, HidAccess::Read);
    QVERIFY(opened.handle == kInvalidHidHandle
            && opened.error == std::errc::no_such_file_or_directory);
    const HidClaim claim = backend.Claim(missing);
    QVERIFY(claim.handle == kInvalidHidHandle
            && claim.error == std::errc::no_such_file_or_directory);
    const HidTransfer read = backend.Read(12345, nullptr, 65, 0);
    QVERIFY(read.moved == -1 && read.error == std::errc::bad_file_descriptor);
    // Windows' own words, as FormatMessage gives them, without the line break it ends them with.
    wchar_t words[256] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, ERROR_ACCESS_DENIED, 0, words, 256, nullptr);
    const QString expected = QString::fromWCharArray(words, int(length)).trimmed();
    const CHidIO::Opening refused{
        CHidIO::Opening::Result::Failed, missing, {}, WindowsError(ERROR_ACCESS_DENIED)};
    QVERIFY(!expected.isEmpty() && refused.error == std::errc::permission_denied);
    QCOMPARE(QString::fromStdString(refused.Why()),
             QString::fromStdString(missing) + " could not be opened: " + expected);
    QCOMPARE(refused.Advice(), "another program may have opened the unit for itself: close it, "
                               "or plug the unit in again");
    // A unit pulled out mid-transfer is told as such on every platform.
    QVERIFY(WindowsError(ERROR_DEVICE_NOT_CONNECTED) == std::errc::no_such_device
            && WindowsError(ERROR_OPERATION_ABORTED) == std::errc::operation_canceled);
}

// What another program sees of the named mutex: a thread of this one is another owner to it.
DWORD TakenElsewhere(const std::wstring& name)
{
    DWORD waited = WAIT_FAILED;
    std::thread([&] {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
        waited = WaitForSingleObject(mutex, 0);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    return waited;
}

void UnitHoldIsSystemWide()
{
    const std::string identity = "TEST" + std::to_string(ThisProcessId()) + "\\serial";
    const std::wstring name = UnitLock::MutexName(identity);
    QVERIFY(name.find(L'\\', 7) == std::wstring::npos); // only after "Global"
    {
        const UnitLock held(identity);
        QVERIFY(held.Held());
        QCOMPARE(TakenElsewhere(name), DWORD(WAIT_TIMEOUT));
        const UnitLock second(identity);
        QVERIFY(!second.Held() && second.Error() == HidClaim::HeldByAnother());
        QCOMPARE(second.Holder(), ProgramText(ThisProcessId()));
        // The holder's record, which a program of this session reads to name it.
        HANDLE record =
            OpenFileMappingW(FILE_MAP_READ, FALSE, UnitLock::RecordName(identity).c_str());
        QVERIFY(record);
        const auto* pid = static_cast<const DWORD*>(MapViewOfFile(record, FILE_MAP_READ, 0, 0, 4));
        QVERIFY(pid && *pid == GetCurrentProcessId());
        UnmapViewOfFile(pid);
        CloseHandle(record);
    }
    QCOMPARE(TakenElsewhere(name), DWORD(WAIT_OBJECT_0)); // let go of, not abandoned
    QVERIFY(UnitLock(identity).Held());
}

// Windows has no per-process limit on a file's size.
FileSizeLimit::FileSizeLimit(long) {}

FileSizeLimit::~FileSizeLimit() = default;

bool FileSizeLimit::Supported()
{
    return false;
}
